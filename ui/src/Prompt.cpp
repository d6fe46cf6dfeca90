// The real prompts and the scripted ones.
#include "tavui/Prompt.h"

#include <QFileDialog>
#include <QMessageBox>

#include "tavui/PasswordDlg.h"

namespace tavui {

namespace {
const char* const APP_TITLE_PROPERTY = "tavPromptTitle";

QMessageBox::StandardButton ToQt(int id) {
    switch (id) {
        case ID_OK: return QMessageBox::Ok;
        case ID_CANCEL: return QMessageBox::Cancel;
        case ID_YES: return QMessageBox::Yes;
        case ID_NO: return QMessageBox::No;
        default: return QMessageBox::NoButton;
    }
}

int FromQt(int button) {
    switch (button) {
        case QMessageBox::Ok: return ID_OK;
        case QMessageBox::Yes: return ID_YES;
        case QMessageBox::No: return ID_NO;
        default: return ID_CANCEL;
    }
}

int FirstButton(PromptButtons buttons) {
    return buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel ? ID_YES : ID_OK;
}
}  // namespace

namespace {
IPrompt* g_prompt = nullptr;
std::function<int(QDialog&)> g_runner;
}  // namespace

IPrompt& SharedPrompt() {
    static CQtPrompt real;
    return g_prompt != nullptr ? *g_prompt : real;
}

void SetSharedPrompt(IPrompt* prompt) { g_prompt = prompt; }

int ExecDialog(QDialog& dialog) { return g_runner ? g_runner(dialog) : dialog.exec(); }

void SetDialogRunner(std::function<int(QDialog&)> runner) { g_runner = std::move(runner); }

std::string QtFilter(const std::string& filter) {
    std::string out;
    size_t start = 0;
    while (start < filter.size()) {
        const size_t bar = filter.find('|', start);
        if (bar == std::string::npos || bar == start) break;
        const size_t end = filter.find('|', bar + 1);
        if (!out.empty()) out += ";;";
        out += filter.substr(start, bar - start);
        start = end == std::string::npos ? filter.size() : end + 1;
    }
    return out;
}

int CQtPrompt::Message(QWidget* parent, const std::string& text, PromptIcon icon,
                       PromptButtons buttons, int defaultButton) {
    QMessageBox box(parent);
    QVariant title = parent ? parent->window()->property(APP_TITLE_PROPERTY) : QVariant();
    box.setWindowTitle(title.isValid() ? title.toString()
                                       : (parent ? parent->window()->windowTitle() : QString()));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
        case PromptIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
        case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case PromptIcon::None: break;
    }
    switch (buttons) {
        case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case PromptButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case PromptButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    box.setDefaultButton(ToQt(defaultButton ? defaultButton : FirstButton(buttons)));
    return FromQt(box.exec());
}

std::optional<std::string> CQtPrompt::FileDialog(QWidget* parent, const FileDialogSpec& spec) {
    QFileDialog dialog(parent, QString::fromStdString(spec.title),
                       QString::fromStdString(spec.initialPath),
                       QString::fromStdString(QtFilter(spec.filter)));
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
    if (!spec.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::vector<std::string> CQtPrompt::OpenFiles(QWidget* parent, const FileDialogSpec& spec) {
    QFileDialog dialog(parent, QString::fromStdString(spec.title), QString::fromStdString(spec.initialPath),
                       QString::fromStdString(QtFilter(spec.filter)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    std::vector<std::string> paths;
    if (dialog.exec() != QDialog::Accepted) return paths;
    for (const QString& file : dialog.selectedFiles()) paths.push_back(file.toStdString());
    return paths;
}

std::optional<std::string> CQtPrompt::FolderDialog(QWidget* parent, const std::string& title,
                                                   const std::string& initial) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QString::fromStdString(title), QString::fromStdString(initial));
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
}

std::optional<std::string> CQtPrompt::Password(QWidget* parent) {
    CPasswordDlg dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Password();
}

int CScriptedPrompt::Message(QWidget*, const std::string& text, PromptIcon icon,
                             PromptButtons buttons, int defaultButton) {
    messages.push_back({text, icon, buttons, defaultButton});
    if (answers.empty()) return defaultButton ? defaultButton : FirstButton(buttons);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> CScriptedPrompt::FileDialog(QWidget*, const FileDialogSpec& spec) {
    fileDialogs.push_back(spec);
    if (files.empty()) return std::nullopt;
    auto answer = files.front();
    files.pop_front();
    return answer;
}

std::optional<std::string> CScriptedPrompt::FolderDialog(QWidget*, const std::string& title,
                                                         const std::string&) {
    FileDialogSpec spec;
    spec.title = title;
    fileDialogs.push_back(spec);
    if (files.empty()) return std::nullopt;
    auto answer = files.front();
    files.pop_front();
    return answer;
}

std::optional<std::string> CScriptedPrompt::Password(QWidget*) {
    ++passwordQuestions;
    if (passwords.empty()) return std::nullopt;
    auto answer = passwords.front();
    passwords.pop_front();
    return answer;
}

}  // namespace tavui
