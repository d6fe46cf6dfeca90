// One interface for every message box, password question and file or folder dialog, so
// that windows never call QMessageBox or QFileDialog themselves and tests answer them.
#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace tavui {

enum class PromptIcon { None, Information, Warning, Question, Error };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
// Answers (the Win32 numbers).
constexpr int ID_OK = 1;
constexpr int ID_CANCEL = 2;
constexpr int ID_YES = 6;
constexpr int ID_NO = 7;

struct FileDialogSpec {
    bool save = false;
    std::string title;
    std::string defaultExtension;  // "tvr", without the dot
    std::string filter;            // "Tavora Archives (*.tvr)|*.tvr|All Files (*.*)|*.*||"
    std::string initialPath;
    bool overwritePrompt = false;
};

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // A message box; `defaultButton` is one of the ID_ answers (0: the first button).
    virtual int Message(QWidget* parent, const std::string& text, PromptIcon icon,
                        PromptButtons buttons = PromptButtons::Ok, int defaultButton = 0) = 0;
    virtual std::optional<std::string> FileDialog(QWidget* parent, const FileDialogSpec& spec) = 0;
    // An open-file dialog in which several files may be chosen; empty for Cancel.
    virtual std::vector<std::string> OpenFiles(QWidget* parent, const FileDialogSpec& spec) {
        auto one = FileDialog(parent, spec);
        return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
    }
    virtual std::optional<std::string> FolderDialog(QWidget* parent, const std::string& title,
                                                    const std::string& initial) = 0;
    // The "Password Protection" dialog; nullopt for Cancel.
    virtual std::optional<std::string> Password(QWidget* parent) = 0;
};

// The real dialogs.
class CQtPrompt : public IPrompt {
public:
    int Message(QWidget* parent, const std::string& text, PromptIcon icon, PromptButtons buttons,
                int defaultButton) override;
    std::optional<std::string> FileDialog(QWidget* parent, const FileDialogSpec& spec) override;
    std::vector<std::string> OpenFiles(QWidget* parent, const FileDialogSpec& spec) override;
    std::optional<std::string> FolderDialog(QWidget* parent, const std::string& title,
                                            const std::string& initial) override;
    std::optional<std::string> Password(QWidget* parent) override;
};

// Scripted answers for tests: each question takes the next answer of its queue (message
// boxes: the default button when the queue is empty; dialogs: Cancel) and is recorded.
class CScriptedPrompt : public IPrompt {
public:
    struct Shown {
        std::string text;
        PromptIcon icon;
        PromptButtons buttons;
        int defaultButton;
    };
    std::deque<int> answers;
    std::deque<std::optional<std::string>> files;
    std::deque<std::optional<std::string>> passwords;
    std::vector<Shown> messages;
    std::vector<FileDialogSpec> fileDialogs;
    int passwordQuestions = 0;

    int Message(QWidget*, const std::string& text, PromptIcon icon, PromptButtons buttons,
                int defaultButton) override;
    std::optional<std::string> FileDialog(QWidget*, const FileDialogSpec& spec) override;
    std::optional<std::string> FolderDialog(QWidget*, const std::string& title,
                                            const std::string& initial) override;
    std::optional<std::string> Password(QWidget*) override;
    std::string LastMessage() const { return messages.empty() ? std::string() : messages.back().text; }
};

// The prompt of code that has no window of its own to ask through (module view
// libraries): the real dialogs unless a program or test installs another (null: real).
IPrompt& SharedPrompt();
void SetSharedPrompt(IPrompt* prompt);
// How such code runs a modal dialog: QDialog::exec unless a test installs a runner.
int ExecDialog(QDialog& dialog);
void SetDialogRunner(std::function<int(QDialog&)> runner);

// Turns "Name (*.a)|*.a|All Files (*.*)|*.*||" into Qt's ";;"-separated filter.
std::string QtFilter(const std::string& filter);

}  // namespace tavui
