// The browser's main window.
#include "BrowserMainDlg.h"

#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "BrowserNodeProvider.h"
#include "BrowserTexts.h"
#include "ExtractItemDlg.h"
#include "RepositoryNotes.h"
#include "RestoreDlg.h"
#include "SmallDialogs.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/SelectionDlg.h"
#include "tavui/TavColors.h"
#include "tavui/TavTlcDataRep.h"
#include "tavui/TreeListCtrl.h"

using namespace browsertext;

CBrowserMainDlg::CBrowserMainDlg(CTavModFactory* hub, tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_hub(hub), m_prompt(prompt), m_document(hub, prompt), m_callback(prompt, this) {
    setObjectName(QString::number(IDD));
    setWindowTitle(APP_TITLE);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    execDialog = [](QDialog& dialog) { return dialog.exec(); };
    showSummary = [this](const std::string& caption, const std::string& log) {
        CResultSummaryDlg summary(caption, log, m_prompt, this);
        execDialog(summary);
    };
    openDocument = [](const QString& file) { return QDesktopServices::openUrl(QUrl::fromLocalFile(file)); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    BuildMenus(layout);

    m_buttonRow = new QHBoxLayout();
    auto* label = new QLabel("Baseline:", this);
    m_baselines = new QComboBox(this);
    m_baselines->setObjectName(QString::number(ID_BASELINES));
    m_baselines->setMinimumContentsLength(30);
    m_baselines->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_restore = new QPushButton("Restore", this);
    m_restore->setObjectName(QString::number(ID_FILE_RESTORE));
    m_extract = new QPushButton("Extract", this);
    m_extract->setObjectName(QString::number(ID_FILE_EXTRACT));
    TavoraColorDef::InitButtonST(m_restore);
    TavoraColorDef::InitButtonST(m_extract);
    m_buttonRow->addWidget(label);
    m_buttonRow->addWidget(m_baselines);
    m_buttonRow->addSpacing(10);
    m_buttonRow->addWidget(m_restore);
    m_buttonRow->addSpacing(7);
    m_buttonRow->addWidget(m_extract);
    m_buttonRow->addStretch(1);
    layout->addLayout(m_buttonRow);

    auto* rule = new QFrame(this);
    rule->setObjectName(QString::number(ID_TOP_RULE));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule);

    m_treeList = new CTreeListCtrl(this);
    m_treeList->SetListHeaderStyle(1, TavoraColorDef::LIST_HEADER_COLOR);
    layout->addWidget(m_treeList, 1);
    m_treeList->Splitter()->setSizes({300, 500});  // room for a source path at 800 pixels

    connect(m_baselines, &QComboBox::currentIndexChanged, this, [this] {
        LoadSelectedBaseline();
        RefreshCommandStates();
    });
    connect(m_restore, &QPushButton::clicked, this, &CBrowserMainDlg::OnRestore);
    connect(m_extract, &QPushButton::clicked, this, &CBrowserMainDlg::OnExtract);
    connect(m_treeList, &CTreeListCtrl::treeSelectionChanged, this,
            [this](CTlcDataProvider* current, CTlcDataProvider* previous) {
                if (current != previous) {
                    RebuildModuleButtons();
                    RefreshCommandStates();
                }
            });
    connect(m_treeList, &CTreeListCtrl::contextMenuRequested, this, &CBrowserMainDlg::ShowContextMenu);
    connect(m_treeList->List(), &QTreeWidget::itemSelectionChanged, this, &CBrowserMainDlg::RefreshCommandStates);
    resize(900, 600);
    RefreshCommandStates();
}

CBrowserMainDlg::~CBrowserMainDlg() {
    m_treeList->ClearTree();
    m_document.Close();
}

QAction* CBrowserMainDlg::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CBrowserMainDlg::BuildMenus(QVBoxLayout* layout) {
    auto* bar = new QMenuBar(this);
    auto add = [this](QMenu* menu, const char* text, int id, QKeySequence key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::number(id));
        if (!key.isEmpty()) action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        if (id != 0) m_actions[id] = action;
        return action;
    };
    QMenu* file = bar->addMenu("&File");
    add(file, "&Open...", 57601, QKeySequence("Ctrl+O"), &CBrowserMainDlg::OpenDialogLoop);
    add(file, "Change &Password...", ID_FILE_CHANGE_PASSWORD, {}, &CBrowserMainDlg::OnChangePassword);
    file->addSeparator();
    add(file, "&Restore...", ID_FILE_RESTORE, QKeySequence("Ctrl+R"), &CBrowserMainDlg::OnRestore);
    add(file, "&Extract...", ID_FILE_EXTRACT, QKeySequence("Ctrl+E"), &CBrowserMainDlg::OnExtract);
    file->addSeparator();
    add(file, "E&xit", 57665, {}, &QDialog::accept);
    QMenu* edit = bar->addMenu("&Edit");
    add(edit, "&Selection...", ID_EDIT_SELECTION, {}, &CBrowserMainDlg::OnSelection);
    QMenu* help = bar->addMenu("&Help");
    add(help, "&Content...", 57667, {}, &CBrowserMainDlg::OnHelp);
    add(help, "&About TvrBrowser...", ID_APP_ABOUT, {}, &CBrowserMainDlg::OnAbout);
    for (QMenu* menu : {file, edit, help})
        connect(menu, &QMenu::aboutToShow, this, &CBrowserMainDlg::RefreshCommandStates);
    layout->setMenuBar(bar);
}

BrowserRunContext CBrowserMainDlg::RunContext() {
    BrowserRunContext context;
    context.hub = m_hub;
    context.repository = &m_document.Repository();
    context.prompt = &m_prompt;
    context.tree = m_treeList;
    context.mainCallback = &m_callback;
    context.showSummary = showSummary;
    return context;
}

bool CBrowserMainDlg::OpenRepository(const std::string& path) {
    m_treeList->ClearTree();
    m_activeRoot = nullptr;
    if (!m_document.Open(path, this)) {
        m_baselines->clear();
        return false;
    }
    m_document.Repository().SetRepErrorCallback(&m_callback);
    setWindowTitle(QString::fromStdString(m_document.Title()));
    FillBaselineList();
    RefreshCommandStates();
    ShowDamageNotes();
    return true;
}

// A repository whose newest baselines cannot be read opens at the ones before, and images
// may disagree about the password: the user is told, as tavctl tells its user.
void CBrowserMainDlg::ShowDamageNotes() {
    const std::vector<std::string> notes = tavctl::RepositoryDamageNotes(m_document.Repository());
    if (notes.empty()) return;
    char heading[1100];
    std::snprintf(heading, sizeof heading, OPENED_WITH_DAMAGE, m_document.Path().c_str());
    std::string text = heading;
    for (std::string note : notes) {
        if (note[0] >= 'a' && note[0] <= 'z') note[0] = char(note[0] - 'a' + 'A');
        text += "\n\n" + note + ".";
    }
    m_prompt.Message(this, text, tavui::PromptIcon::Warning);
}

void CBrowserMainDlg::FillBaselineList() {
    const QSignalBlocker block(m_baselines);
    m_baselines->clear();
    for (const BaselineEntry& entry : m_document.Baselines())
        m_baselines->addItem(QString::fromStdString(entry.text), entry.number);
    if (m_baselines->count() > 0) m_baselines->setCurrentIndex(0);
    LoadSelectedBaseline();
}

void CBrowserMainDlg::OpenDialogLoop() {
    tavui::FileDialogSpec spec;
    spec.defaultExtension = OPEN_EXTENSION;
    spec.filter = OPEN_FILTER;
    while (auto path = m_prompt.FileDialog(this, spec)) {
        if (OpenRepository(*path)) return;
        m_prompt.Message(this, INVALID_FILES, tavui::PromptIcon::Warning);
    }
}

void CBrowserMainDlg::HandleCommandLine(const QStringList& arguments) {
    QString file;
    bool openDialog = false, restoreDialog = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a.compare(OPT_OPENDLG, Qt::CaseInsensitive) == 0) openDialog = true;
        else if (a.compare(OPT_RESTOREDLG, Qt::CaseInsensitive) == 0) restoreDialog = true;
        else if (file.isEmpty()) file = a;
    }
    if (openDialog) {
        OpenDialogLoop();
    } else if (!file.isEmpty()) {
        if (OpenRepository(file.toStdString()) && restoreDialog) OnRestore();
    }
    RefreshCommandStates();
}

void CBrowserMainDlg::LoadSelectedBaseline() {
    m_treeList->ClearTree();
    m_activeRoot = nullptr;
    if (m_baselines->currentIndex() < 0 || !m_document.IsOpen()) {
        m_document.ReleaseBaseline();
        return;
    }
    const uint32_t number = m_baselines->currentData().toUInt();
    for (CTlcDataProvider* root : m_document.LoadContent(number, m_treeList)) m_treeList->InsertRoot(root);
    if (!m_treeList->Roots().empty()) m_treeList->SelectProvider(m_treeList->Roots().front());
    RebuildModuleButtons();
}

const TavModDesc* CBrowserMainDlg::ModuleOf(CTlcDataProvider* provider) const {
    if (m_hub == nullptr || provider == nullptr) return nullptr;
    const TavNodeRec* node = ProviderNode(provider->TopMostParent());
    return node != nullptr ? m_hub->GetModDesc(node->moduleId) : nullptr;
}

bool CBrowserMainDlg::CommandEnabled(const std::string& procName, CTlcDataProvider* root,
                                     CTlcDataProvider* item) const {
    const TavModDesc* module = ModuleOf(root);
    if (module == nullptr || module->repControl.updateProc == nullptr) return false;
    return module->repControl.updateProc(intptr_t(procName.c_str()), intptr_t(root), intptr_t(item),
                                         intptr_t(QApplication::focusWidget())) != 0;
}

CTlcDataProvider* CBrowserMainDlg::CurrentItem(bool forRefresh) const {
    QTreeWidget* list = m_treeList->List();
    if (forRefresh) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr) return m_treeList->SelectedTreeProvider();
        if (focus == list && m_treeList->SelectedListProvider() != nullptr) return m_treeList->SelectedListProvider();
        return m_treeList->SelectedTreeProvider();
    }
    if (m_treeList->LastFocusPane() == CTreeListCtrl::Pane::List && m_treeList->SelectedListProvider() != nullptr)
        return m_treeList->SelectedListProvider();
    return m_treeList->SelectedTreeProvider();
}

void CBrowserMainDlg::RefreshCommandStates() {
    const bool open = m_document.IsOpen();
    m_restore->setEnabled(open);
    if (QAction* a = Action(ID_FILE_RESTORE)) a->setEnabled(open);
    if (QAction* a = Action(ID_FILE_CHANGE_PASSWORD)) a->setEnabled(open);
    CTlcDataProvider* current = CurrentItem(true);
    const bool extract = current != nullptr && ProviderNode(current) != nullptr;
    m_extract->setEnabled(extract);
    if (QAction* a = Action(ID_FILE_EXTRACT)) a->setEnabled(extract);
    if (QAction* a = Action(ID_EDIT_SELECTION))
        a->setEnabled(current != nullptr && current->ProviderID() == PROVIDER_TAG);
    CTlcDataProvider* selected = m_treeList->SelectedTreeProvider();
    if (selected == nullptr || m_activeRoot == nullptr) return;
    for (size_t i = 0; i < m_moduleButtons.size(); ++i)
        m_moduleButtons[i]->setEnabled(CommandEnabled(m_moduleCommandNames[i], m_activeRoot, selected));
    if (selected->ProviderID() == PROVIDER_TAG)
        m_extract->setEnabled(selected != m_activeRoot);
    else
        m_extract->setEnabled(CommandEnabled("Extract", m_activeRoot, selected));
}

void CBrowserMainDlg::RebuildModuleButtons() {
    CTlcDataProvider* selected = m_treeList->SelectedTreeProvider();
    CTlcDataProvider* root = selected != nullptr ? selected->TopMostParent() : nullptr;
    if (root == nullptr || root == m_activeRoot) return;
    m_activeRoot = root;
    const TavModDesc* module = ModuleOf(root);
    if (module == nullptr) return;
    for (QPushButton* b : m_moduleButtons) delete b;
    for (QWidget* w : m_moduleSpacers) delete w;
    m_moduleButtons.clear();
    m_moduleCommandNames.clear();
    m_moduleSpacers.clear();
    // After "Extract": 15 units, then the buttons 7 apart; a separator is a gap of 8.
    int at = m_buttonRow->indexOf(m_extract) + 1;
    auto gap = [&](int width) {
        auto* spacer = new QWidget(this);
        spacer->setFixedWidth(width);
        m_buttonRow->insertWidget(at++, spacer);
        m_moduleSpacers.push_back(spacer);
    };
    gap(15);
    for (const TavModCmdUI& command : module->repControl.commands) {
        if (command.IsSeparator()) {
            gap(8);
            continue;
        }
        auto* button = new QPushButton(QString::fromStdString(command.title), this);
        button->setObjectName(QString::number(command.commandId));
        TavoraColorDef::InitButtonST(button);
        // As wide as the caption in the tree's font plus 4: one pixel of border and one of
        // padding on each side; as high as "Extract".
        button->setFont(m_treeList->Tree()->font());
        button->setStyleSheet(button->styleSheet() + "QPushButton { padding: 3px 1px; }");
        button->setFixedWidth(QFontMetrics(button->font()).horizontalAdvance(button->text()) + 4);
        button->setFixedHeight(m_extract->sizeHint().height());
        const int id = int(command.commandId);
        connect(button, &QPushButton::clicked, this, [this, id] { OnModuleCommand(uint32_t(id)); });
        if (!m_moduleButtons.empty()) gap(7);
        m_buttonRow->insertWidget(at++, button);
        m_moduleButtons.push_back(button);
        m_moduleCommandNames.push_back(command.procName);
    }
}

void CBrowserMainDlg::OnModuleCommand(uint32_t id) {
    CTlcDataProvider* provider = m_contextProvider != nullptr ? m_contextProvider : m_treeList->SelectedTreeProvider();
    m_contextProvider = nullptr;
    if (m_hub == nullptr) return;
    const TavModCmdUI* command = m_hub->GetModCommand(id);
    if (command != nullptr && command->proc != nullptr && provider != nullptr)
        command->proc(intptr_t(provider), intptr_t(this), 0, 0);
}

QMenu* CBrowserMainDlg::BuildContextMenu(CTlcDataProvider* provider) {
    if (provider == nullptr) return nullptr;
    CTlcDataProvider* root = provider->TopMostParent();
    const TavModDesc* module = ModuleOf(root);
    if (module == nullptr) return nullptr;
    m_contextProvider = provider;
    auto* menu = new QMenu(this);
    QAction* restore = menu->addAction("Restore...", this, &CBrowserMainDlg::OnRestore);
    restore->setObjectName(QString::number(ID_FILE_RESTORE));
    QAction* extract = menu->addAction("Extract...", this, &CBrowserMainDlg::OnExtract);
    extract->setObjectName(QString::number(ID_FILE_EXTRACT));
    if (provider->ProviderID() == PROVIDER_TAG)
        extract->setEnabled(provider != root);
    else
        extract->setEnabled(CommandEnabled("Extract", root, provider));
    if (!module->repControl.commands.empty()) {
        menu->addSeparator();
        for (const TavModCmdUI& command : module->repControl.commands) {
            if (command.IsSeparator()) {
                menu->addSeparator();
                continue;
            }
            const uint32_t id = command.commandId;
            QAction* action = menu->addAction(QString::fromStdString(command.title), this,
                                              [this, id] { OnModuleCommand(id); });
            action->setObjectName(QString::number(id));
            action->setEnabled(command.proc != nullptr && !command.title.empty() &&
                               CommandEnabled(command.procName, root, provider));
        }
    }
    return menu;
}

void CBrowserMainDlg::ShowContextMenu(CTlcDataProvider* provider, const QPoint& globalPos) {
    std::unique_ptr<QMenu> menu(BuildContextMenu(provider));
    if (menu) menu->exec(globalPos);
}

void CBrowserMainDlg::OnRestore() {
    if (!m_document.IsOpen()) return;
    // "Restore selected items" when the top-level items do not all share one state.
    bool mixed = false;
    const auto& roots = m_treeList->Roots();
    for (CTlcDataProvider* root : roots) mixed = mixed || root->CheckState() != roots.front()->CheckState();
    const uint32_t baseline = m_baselines->currentIndex() >= 0 ? m_baselines->currentData().toUInt() : 0;
    CRestoreDlg dialog(RunContext(), baseline, mixed, this);
    execDialog(dialog);
}

void CBrowserMainDlg::OnExtract() {
    CTlcDataProvider* item = CurrentItem(false);
    const TavNodeRec* node = ProviderNode(item);
    const TavNodeRec* root = item != nullptr ? ProviderNode(item->TopMostParent()) : nullptr;
    if (node == nullptr || root == nullptr) return;
    CTlcDataProvider* selected = m_treeList->SelectedTreeProvider();
    const bool scope = selected != nullptr && selected->CheckState() != TLC_UNCHECKED;
    CExtractItemDlg dialog(RunContext(), *node, *root, m_document.LoadedNumber(), scope, this);
    execDialog(dialog);
}

void CBrowserMainDlg::OnChangePassword() {
    if (!m_document.IsOpen()) return;
    CChangePwdDlg dialog(m_document.Repository(), m_prompt, this);
    if (execDialog(dialog) != QDialog::Accepted) return;
    ChangePasswordAndReport(m_document.Repository(), m_prompt, this, dialog.OldPassword(), dialog.NewPassword());
}

void CBrowserMainDlg::OnSelection() {
    CTlcDataProvider* selected = m_treeList->SelectedTreeProvider();
    if (selected == nullptr || selected->ProviderID() != PROVIDER_TAG) return;
    tavui::CTypeGroupModel model;
    const auto rows = m_treeList->ListProviders();
    auto typeOf = [](CTlcDataProvider* p) {
        auto* b = dynamic_cast<CBrowserNodeProvider*>(p);
        return b != nullptr ? b->TypeName() : p->Name();
    };
    for (CTlcDataProvider* row : rows) model.AddRow(typeOf(row), row->CheckState(), row->Icon());
    CSelectionDlg dialog(model, "Selection", this);
    if (execDialog(dialog) != QDialog::Accepted) return;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int state = model.StateFor(typeOf(rows[i]));
        if (state != 0 && state != rows[i]->CheckState()) m_treeList->OnListItemStateChanged(int(i), state);
    }
}

QString CBrowserMainDlg::HelpFile() {
    return QCoreApplication::applicationDirPath() + "/../share/doc/tavora/index.html";
}

void CBrowserMainDlg::OnHelp() {
    const QString file = HelpFile();
    if (!QFileInfo::exists(file) || !openDocument(QFileInfo(file).canonicalFilePath()))
        m_prompt.Message(this, HELP_MISSING, tavui::PromptIcon::Warning);
}

void CBrowserMainDlg::OnAbout() {
    CAboutDlg dialog(this);
    execDialog(dialog);
}
