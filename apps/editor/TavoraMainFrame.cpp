#include "TavoraMainFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "EditorTexts.h"
#include "OptionDlg.h"
#include "RunPageTexts.h"
#include "ScheduledTasksDlg.h"
#include "SubViewHistory.h"
#include "SubViewSchedule.h"
#include "SubViewFiles.h"
#include "SubViewSettings.h"
#include "SubViewStatus.h"
#include "BackupNow.h"
#include "core/ScheduleModel.h"
#include "ViewSelectorBar.h"
#include "tavui/Prompt.h"
#include "tavui/WindowBeacon.h"
#include "platform/TextFormat.h"

using namespace editortext;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CTavoraMainFrame::CTavoraMainFrame(CTavModFactory* hub, tavui::IPrompt& prompt, QWidget* parent)
    : QMainWindow(parent), m_hub(hub), m_prompt(prompt) {
    setObjectName("CTavoraMainFrame");
    setProperty("tavPromptTitle", APP_TITLE);
    setMinimumSize(MIN_WIDTH, MIN_HEIGHT);
    setAcceptDrops(true);
    documentsFolder = [] {
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return (docs.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation) : docs)
            .toStdString();
    };
    startProgram = [](const QString& program, const QStringList& args) {
        return QProcess::startDetached(program, args);
    };
    bringToFront = [](const std::string& title) { return tavui::BringWindowToFront(title); };
    openFolder = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    m_selector = new CViewSelectorBar(central);
    m_view = new QStackedWidget(central);
    m_view->setObjectName("101");
    m_settings = new CSubViewSettings(m_doc, m_prompt, m_view);
    m_view->addWidget(m_settings);
    // The pages of what the job backs up, its schedules, its runs and their logs.
    for (size_t i = 1; i < std::size(PAGES); ++i) {
        QWidget* page = CreatePage(i);
        if (page == nullptr) {
            page = new QWidget(m_view);
            page->setObjectName(QString::number(PAGES[i].dialogId));
        }
        m_view->addWidget(page);
    }
    layout->addWidget(m_selector);
    layout->addWidget(m_view, 1);
    setCentralWidget(central);
    connect(m_selector, &CViewSelectorBar::pageSelected, m_view, &QStackedWidget::setCurrentIndex);
    m_selector->Select(0);

    BuildMenus();
    BuildToolbar();
    statusBar()->showMessage("Ready");
    m_doc.onChanged = [this] { UpdateTitle(); };
    m_recent.Load();
    UpdateRecentMenu();
    m_doc.NewJob(documentsFolder());
    Refresh();
}

CTavoraMainFrame::~CTavoraMainFrame() {
    // The run's worker uses the STATUS page: it ends before the pages go.
    m_backupNow->Abandon();
}

void CTavoraMainFrame::SetHostRunSource(IHostRunSource* source) {
    m_backupNow->hostRuns = source;
    m_status->SetHostRunSource(source);
    m_status->LoadFromJob();
}

QAction* CTavoraMainFrame::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CTavoraMainFrame::BuildMenus() {
    auto add = [this](QMenu* menu, const char* text, int id, QKeySequence key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::number(id));
        if (!key.isEmpty()) action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        m_actions[id] = action;
        return action;
    };
    QMenu* file = menuBar()->addMenu("&File");
    add(file, "&New", ID_FILE_NEW, QKeySequence("Ctrl+N"), [this] { NewJob(); });
    add(file, "&Open...", ID_FILE_OPEN, QKeySequence("Ctrl+O"), &CTavoraMainFrame::OnOpen);
    add(file, "&Save", ID_FILE_SAVE, QKeySequence("Ctrl+S"), [this] { SaveJob(); });
    add(file, "Save &As...", ID_FILE_SAVE_AS, QKeySequence("Ctrl+Shift+S"), [this] { SaveJobAs(); });
    file->addSeparator();
    for (int i = 0; i < RECENT_FILES; ++i) {
        add(file, "", ID_FILE_MRU_FIRST + i, {}, [this, i] {
            if (size_t(i) < m_recent.Files().size()) OpenJob(m_recent.Files()[i]);
        });
    }
    file->addSeparator();
    add(file, "E&xit", ID_APP_EXIT, {}, &QWidget::close);

    QMenu* view = menuBar()->addMenu("&View");
    QAction* toolbar = add(view, "&Toolbar", ID_VIEW_TOOLBAR, {}, [this](bool on) {
        if (auto* bar = findChild<QToolBar*>("128")) bar->setVisible(on);
    });
    QAction* status = add(view, "&Status Bar", ID_VIEW_STATUS_BAR, {},
                          [this](bool on) { statusBar()->setVisible(on); });
    for (QAction* a : {toolbar, status}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    add(view, "&Refresh", ID_VIEW_REFRESH, QKeySequence("F5"), [this] {
        // Edits not yet written into the job survive the reload.
        if (m_doc.IsModified()) {
            m_settings->SaveToJob();
            m_files->SaveToJob();
        }
        Refresh();
    });

    QMenu* tools = menuBar()->addMenu("&Tools");
    add(tools, "Backup &Now", ID_TOOLS_BACKUP_NOW, QKeySequence("Ctrl+B"), [this] { m_backupNow->Start(); });
    add(tools, "&Restore", ID_TOOLS_RESTORE, QKeySequence("Ctrl+R"), [this] { OnStartBrowser(true); });
    add(tools, "TVR &Browse", ID_TOOLS_BROWSE, {}, [this] { OnStartBrowser(false); });
    tools->addSeparator();
    add(tools, "Windows &Explorer", ID_TOOLS_EXPLORER, QKeySequence("Ctrl+E"), &CTavoraMainFrame::OnExplorer);
    add(tools, "Windows &Scheduled Tasks", ID_TOOLS_SCHEDULED_TASKS, {}, &CTavoraMainFrame::OnScheduledTasks);
    tools->addSeparator();
    add(tools, "&Options...", ID_TOOLS_OPTIONS, {}, &CTavoraMainFrame::OnOptions);

    QMenu* help = menuBar()->addMenu("&Help");
    add(help, "&Content...", ID_HELP_CONTENT, QKeySequence("F1"), &CTavoraMainFrame::OnHelp);
    add(help, "&About Tavora...", ID_APP_ABOUT, {}, &CTavoraMainFrame::OnAbout);
}

void CTavoraMainFrame::BuildToolbar() {
    QToolBar* bar = addToolBar("Standard");
    bar->setObjectName("128");
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    const std::pair<int, QStyle::StandardPixmap> buttons[] = {
        {ID_FILE_NEW, QStyle::SP_FileIcon},          {ID_FILE_OPEN, QStyle::SP_DialogOpenButton},
        {ID_FILE_SAVE, QStyle::SP_DialogSaveButton}, {0, QStyle::SP_CustomBase},
        {ID_TOOLS_BACKUP_NOW, QStyle::SP_MediaPlay}, {ID_TOOLS_RESTORE, QStyle::SP_BrowserReload},
        {ID_TOOLS_BROWSE, QStyle::SP_DirOpenIcon},   {0, QStyle::SP_CustomBase},
        {ID_HELP_CONTENT, QStyle::SP_MessageBoxQuestion},
    };
    for (const auto& [id, icon] : buttons) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        action->setIcon(style()->standardIcon(icon));
        bar->addAction(action);
    }
}

QWidget* CTavoraMainFrame::CreatePage(size_t index) {
    switch (index) {
        case 1:
            m_files = new CSubViewFiles(m_doc, m_hub, m_prompt, m_view);
            return m_files;
        case 2:
            m_schedule = new CSubViewSchedule(m_doc, m_prompt, m_view);
            m_schedule->ensureSavedJob = [this] { return EnsureSavedJob(); };
            // Without a scheduler the page's button stays disabled, as the page has said why.
            connect(m_schedule, &CSubViewSchedule::schedulerUnavailable, this, [this] {
                if (auto* button = m_selector->findChild<QWidget*>(QString::number(PAGES[2].buttonId)))
                    button->setEnabled(false);
            });
            return m_schedule;
        case 3:
            m_status = new CSubViewStatus(m_doc, m_prompt, m_view);
            m_backupNow = new CBackupNow(m_doc, m_prompt, *m_hub, *m_status, this);
            m_backupNow->saveModified = [this] { return SaveModified(); };
            m_backupNow->showStatusPage = [this] { SelectPage("STATUS"); };
            m_backupNow->runningChanged = [this](bool running) {
                for (int id : {ID_TOOLS_BACKUP_NOW, ID_TOOLS_RESTORE, ID_TOOLS_BROWSE}) Action(id)->setEnabled(!running);
            };
            connect(m_backupNow, &CBackupNow::finished, this, [this] {
                m_history->LoadFromJob();
    m_status->LoadFromJob();
                if (m_closeWhenDone) close();
            });
            return m_status;
        case 4:
            m_history = new CSubViewHistory(m_doc, m_prompt, m_view);
            return m_history;
        default:
            return nullptr;
    }
}

void CTavoraMainFrame::OnScheduledTasks() {
    std::string error;
    std::shared_ptr<plat::ITaskScheduler> scheduler = m_schedule->openScheduler(error);
    if (!scheduler) {
        m_prompt.Message(this, std::string(runtext::SCHEDULER_UNAVAILABLE) + "\n(" + error + ")",
                         tavui::PromptIcon::Warning);
        return;
    }
    CScheduledTasksDlg dialog(editor::ScheduledTasksReport(*scheduler, plat::RunHelperProgram), this);
    tavui::ExecDialog(dialog);
}

void CTavoraMainFrame::UpdateRecentMenu() {
    const auto& files = m_recent.Files();
    for (int i = 0; i < RECENT_FILES; ++i) {
        QAction* action = Action(ID_FILE_MRU_FIRST + i);
        const bool shown = size_t(i) < files.size();
        action->setVisible(shown);
        if (shown) action->setText(QString("&%1 %2").arg(i + 1).arg(Q(files[i])));
    }
}

void CTavoraMainFrame::UpdateTitle() {
    setWindowTitle(QString("%1%2 - %3").arg(Q(m_doc.Title()), m_doc.IsModified() ? "*" : "", APP_TITLE));
}

bool CTavoraMainFrame::SelectPage(const QString& name) {
    for (size_t i = 0; i < std::size(PAGES); ++i) {
        if (name.compare(PAGES[i].name, Qt::CaseInsensitive) != 0) continue;
        m_selector->Select(int(i));
        m_view->setCurrentIndex(int(i));
        return true;
    }
    return false;
}

QWidget* CTavoraMainFrame::CurrentPage() const { return m_view->currentWidget(); }

void CTavoraMainFrame::Refresh() {
    m_settings->LoadFromJob();
    m_files->Refresh();
    m_schedule->LoadFromJob();
    m_history->LoadFromJob();
    UpdateTitle();
}

bool CTavoraMainFrame::NewJob() {
    if (!SaveModified()) return false;
    m_doc.NewJob(documentsFolder());
    Refresh();
    return true;
}

bool CTavoraMainFrame::OpenJob(const std::string& path) {
    if (!SaveModified()) return false;
    if (!m_doc.Open(path)) {
        m_prompt.Message(this, plat::Format(OPEN_FAILED, path.c_str(), m_doc.ErrorText().c_str()), tavui::PromptIcon::Error);
        m_recent.Remove(path);
        UpdateRecentMenu();
        return false;
    }
    m_recent.Add(m_doc.Path());
    UpdateRecentMenu();
    Refresh();
    return true;
}

void CTavoraMainFrame::OnOpen() {
    tavui::FileDialogSpec spec;
    spec.title = "Open";
    spec.defaultExtension = JOB_EXTENSION;
    spec.filter = JOB_FILTER;
    const auto path = m_prompt.FileDialog(this, spec);
    if (path) OpenJob(*path);
}

bool CTavoraMainFrame::WriteJob(const std::string& path) {
    if (!m_doc.Save(path)) {
        m_prompt.Message(this, plat::Format(SAVE_FAILED, (path.empty() ? m_doc.Path() : path).c_str(), m_doc.ErrorText().c_str()),
                         tavui::PromptIcon::Error);
        return false;
    }
    m_recent.Add(m_doc.Path());
    UpdateRecentMenu();
    UpdateTitle();
    return true;
}

bool CTavoraMainFrame::SaveJob() {
    if (m_doc.Path().empty()) return SaveJobAs();
    return WriteJob({});
}

bool CTavoraMainFrame::SaveJobAs() {
    tavui::FileDialogSpec spec;
    spec.save = true;
    spec.title = "Save As";
    spec.defaultExtension = JOB_EXTENSION;
    spec.filter = JOB_FILTER;
    spec.overwritePrompt = true;
    spec.initialPath = m_doc.Path().empty() ? m_doc.Job().GetImageDesc("name") + ".tvj" : m_doc.Path();
    const auto path = m_prompt.FileDialog(this, spec);
    if (!path || path->empty()) return false;
    return WriteJob(*path);
}

bool CTavoraMainFrame::SaveModified() {
    if (!m_doc.IsModified()) return true;
    switch (m_prompt.Message(this, plat::Format(ASK_TO_SAVE, m_doc.Title().c_str()), tavui::PromptIcon::Warning,
                             tavui::PromptButtons::YesNoCancel)) {
        case tavui::ID_YES: return SaveJob();
        case tavui::ID_NO: return true;
        default: return false;
    }
}

bool CTavoraMainFrame::EnsureSavedJob() {
    if (!m_doc.Path().empty()) return true;
    m_doc.SetModified(true);
    if (!SaveModified()) return false;
    // Declined: the job keeps its modified flag, so closing still asks about its edits.
    return !m_doc.Path().empty();
}

void CTavoraMainFrame::HandleCommandLine(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument.startsWith('-')) continue;
        OpenJob(argument.toStdString());
        return;
    }
}

void CTavoraMainFrame::OnStartBrowser(bool restore) {
    std::string image;
    if (!m_doc.Path().empty()) m_doc.Job().FindLastImagePath(image);
    // A browser that shows this image already comes to the front instead.
    if (!image.empty() && bringToFront(editor::BrowserWindowTitle(image))) return;
    StartSuiteProgram(editor::BROWSER_PROGRAM, editor::BrowserArguments(image, restore));
}

bool CTavoraMainFrame::StartSuiteProgram(const char* name, const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& a : arguments) args << Q(a);
    const QString program = QCoreApplication::applicationDirPath() + "/" + name;
    if (startProgram(program, args)) return true;
    m_prompt.Message(this, plat::Format("Cannot start \"%s\".", program.toStdString().c_str()), tavui::PromptIcon::Error);
    return false;
}

void CTavoraMainFrame::OnExplorer() {
    std::string folder = m_doc.Job().GetImageDesc("location");
    if (folder.empty() || !QFileInfo(Q(folder)).isDir()) folder = documentsFolder();
    if (!openFolder(Q(folder)))
        m_prompt.Message(this, plat::Format("Cannot open the folder \"%s\".", folder.c_str()), tavui::PromptIcon::Error);
}

void CTavoraMainFrame::OnOptions() {
    COptionDlg dialog(m_prompt, documentsFolder(), this);
    tavui::ExecDialog(dialog);
}

void CTavoraMainFrame::OnHelp() {
    const QString file = QCoreApplication::applicationDirPath() + "/../share/doc/tavora/index.html";
    if (!QFileInfo::exists(file) || !QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).canonicalFilePath())))
        m_prompt.Message(this, HELP_MISSING, tavui::PromptIcon::Warning);
}

void CTavoraMainFrame::OnAbout() { m_prompt.Message(this, ABOUT_TEXT, tavui::PromptIcon::Information); }

void CTavoraMainFrame::closeEvent(QCloseEvent* event) {
    if (m_backupNow->IsRunning()) {
        event->ignore();
        if (m_prompt.Message(this, runtext::ASK_STOP_AND_EXIT, tavui::PromptIcon::Question,
                             tavui::PromptButtons::YesNo, tavui::ID_NO) != tavui::ID_YES)
            return;
        m_closeWhenDone = true;
        m_backupNow->RequestStop();
        return;
    }
    m_closeWhenDone = false;
    if (SaveModified())
        event->accept();
    else
        event->ignore();
}

void CTavoraMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CTavoraMainFrame::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    if (OpenDroppedFiles(files)) event->acceptProposedAction();
}

bool CTavoraMainFrame::OpenDroppedFiles(const QStringList& files) {
    // One job is open at a time: the first file is opened.
    return !files.isEmpty() && OpenJob(files.first().toStdString());
}
