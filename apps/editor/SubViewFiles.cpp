#include "SubViewFiles.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/TavoraDoc.h"
#include "tavengine/TavModFactory.h"
#include "tavui/TavColors.h"
#include "tavui/TreeListCtrl.h"

namespace {
// The header of the list: flat, in the suite's colour.
constexpr int LIST_HEADER_STYLE = 1;
constexpr uint32_t LIST_HEADER_COLOR = 0xC8E4E8;
constexpr int BUTTON_SPACING = 7;
constexpr int SEPARATOR_GAP = 8;
}  // namespace

CSubViewFiles::CSubViewFiles(CTavoraDoc& doc, CTavModFactory* hub, tavui::IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_hub(hub), m_prompt(prompt), m_treeList(new CTreeListCtrl(this)),
      m_buttonRow(new QHBoxLayout()) {
    setObjectName(QString::number(IDD));
    m_treeList->Tree()->setObjectName(QString::number(TREE_ID));
    m_treeList->List()->setObjectName(QString::number(LIST_ID));
    m_treeList->Splitter()->setObjectName(QString::number(SPLITTER_ID));
    m_treeList->SetListHeaderStyle(LIST_HEADER_STYLE, LIST_HEADER_COLOR);
    m_treeList->Splitter()->setSizes({220, 420});
    m_buttonRow->setContentsMargins(0, 0, 0, 0);
    m_buttonRow->setSpacing(0);
    m_buttonRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(2);
    layout->addLayout(m_buttonRow);
    layout->addWidget(m_treeList, 1);

    for (QTreeWidget* view : {m_treeList->Tree(), m_treeList->List()}) {
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
    }
    m_treeList->List()->installEventFilter(this);
    connect(m_treeList, &CTreeListCtrl::treeSelectionChanged, this, [this] {
        RebuildButtons();
        UpdateButtonStates();
    });
    connect(m_treeList, &CTreeListCtrl::contextMenuRequested, this, [this](CTlcDataProvider* provider, QPoint at) {
        if (QMenu* menu = BuildContextMenu(provider)) {
            menu->exec(at);
            delete menu;
        }
    });
    m_doc.AddSaver([this] { SaveToJob(); });
}

CSubViewFiles::~CSubViewFiles() { ClearRoots(); }

void CSubViewFiles::ClearRoots() {
    m_contextProvider = nullptr;
    m_buttonRoot = nullptr;
    if (m_hub != nullptr)
        for (const Root& root : m_roots) m_hub->UnregisterProvider(root.provider);
    m_roots.clear();
    m_treeList->ClearTree();
}

void CSubViewFiles::LoadFromJob() {
    ClearRoots();
    CTavJobHelper& job = m_doc.Job();
    if (m_hub != nullptr) m_roots.reserve(size_t(m_hub->GetModCount()));
    for (int i = 0; m_hub != nullptr && i < m_hub->GetModCount(); ++i) {
        const TavModDesc* module = m_hub->GetModDescAt(i);
        if (module == nullptr || module->createJobRoot == nullptr) continue;
        XMLNode node = job.GetBackupNode(module->name);
        if (node.IsEmpty()) node = job.AddBackupNode(module->title, module->name);
        if (node.IsEmpty()) continue;
        CTlcDataProvider* provider = m_hub->CreateJobRoot(module, m_treeList, &node, &job);
        if (provider == nullptr) continue;
        m_treeList->InsertRoot(provider);
        m_roots.push_back({provider, module, node});
    }
    for (const Root& root : m_roots)
        if (root.module->dataExchange != nullptr) root.module->dataExchange(root.provider, &root.node, 0);
    if (!m_roots.empty()) m_treeList->SelectProvider(m_roots.front().provider);
    RebuildButtons();
    UpdateButtonStates();
    m_doc.SetModified(false);
}

void CSubViewFiles::SaveToJob() {
    for (const Root& root : m_roots)
        if (root.module->dataExchange != nullptr) root.module->dataExchange(root.provider, &root.node, 1);
    if (!m_roots.empty()) m_doc.SetModified(true);
}

std::vector<std::string> CSubViewFiles::SelectedNamePath() const {
    std::vector<std::string> names;
    for (CTlcDataProvider* p = m_treeList->SelectedTreeProvider(); p != nullptr; p = p->Parent())
        names.insert(names.begin(), p->Name());
    return names;
}

void CSubViewFiles::SelectNamePath(const std::vector<std::string>& names) {
    CTlcDataProvider* found = nullptr;
    const std::vector<CTlcDataProvider*>* level = &m_treeList->Roots();
    for (const std::string& name : names) {
        CTlcDataProvider* next = nullptr;
        for (CTlcDataProvider* p : *level)
            if (p->Name() == name && p->TreeItem() != nullptr) next = p;
        if (next == nullptr) break;
        found = next;
        m_treeList->ListChildren(found);
        level = &found->Children();
    }
    if (found != nullptr) m_treeList->SelectProvider(found);
}

void CSubViewFiles::Refresh() {
    const std::vector<std::string> names = SelectedNamePath();
    const bool modified = m_doc.IsModified();
    LoadFromJob();
    SelectNamePath(names);
    // A refresh changes nothing of the job.
    m_doc.SetModified(modified);
}

const CSubViewFiles::Root* CSubViewFiles::RootOf(CTlcDataProvider* provider) const {
    if (provider == nullptr) return nullptr;
    CTlcDataProvider* top = provider->TopMostParent();
    for (const Root& root : m_roots)
        if (root.provider == top) return &root;
    return nullptr;
}

void CSubViewFiles::RebuildButtons() {
    const Root* root = RootOf(m_treeList->SelectedTreeProvider());
    if (root == m_buttonRoot && (root != nullptr || m_buttons.empty())) return;
    m_buttonRoot = root;
    for (QPushButton* b : m_buttons) delete b;
    for (QWidget* w : m_gaps) delete w;
    m_buttons.clear();
    m_buttonProcs.clear();
    m_gaps.clear();
    if (root == nullptr) return;
    int at = 0;
    auto gap = [&](int width) {
        auto* spacer = new QWidget(this);
        spacer->setFixedWidth(width);
        m_buttonRow->insertWidget(at++, spacer);
        m_gaps.push_back(spacer);
    };
    bool afterSeparator = false;
    for (const TavModCmdUI& command : root->module->jobControl.commands) {
        if (command.IsSeparator()) {
            gap(SEPARATOR_GAP);
            afterSeparator = true;
            continue;
        }
        if (!m_buttons.empty() && !afterSeparator) gap(BUTTON_SPACING);
        afterSeparator = false;
        auto* button = new QPushButton(QString::fromStdString(command.title), this);
        button->setObjectName(QString::number(command.commandId));
        button->setFont(m_treeList->Tree()->font());
        TavoraColorDef::InitButtonST(button);
        // As wide and as high as the caption, with a small margin.
        const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        button->setMinimumSize(text.width() + 16, text.height() + 8);
        const uint32_t id = command.commandId;
        connect(button, &QPushButton::clicked, this, [this, id] { RunCommand(id); });
        m_buttonRow->insertWidget(at++, button);
        m_buttons.push_back(button);
        m_buttonProcs.push_back(command.procName);
    }
}

bool CSubViewFiles::CommandEnabled(const TavModDesc& module, const std::string& procName, CTlcDataProvider* root,
                                   CTlcDataProvider* item) const {
    if (module.jobControl.updateProc == nullptr || root == nullptr || item == nullptr) return false;
    return module.jobControl.updateProc(intptr_t(procName.c_str()), intptr_t(root), intptr_t(item),
                                        intptr_t(QApplication::focusWidget())) != 0;
}

void CSubViewFiles::UpdateButtonStates() {
    CTlcDataProvider* selected = m_treeList->SelectedTreeProvider();
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setEnabled(m_buttonRoot != nullptr &&
                                 CommandEnabled(*m_buttonRoot->module, m_buttonProcs[i], m_buttonRoot->provider,
                                                selected));
}

QMenu* CSubViewFiles::BuildContextMenu(CTlcDataProvider* provider) {
    const Root* root = RootOf(provider);
    if (root == nullptr) return nullptr;
    m_contextProvider = provider;
    auto* menu = new QMenu(this);
    for (const TavModCmdUI& command : root->module->jobControl.commands) {
        if (command.IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (command.proc == nullptr || command.title.empty()) continue;
        const uint32_t id = command.commandId;
        QAction* action = menu->addAction(QString::fromStdString(command.title), this, [this, id] { RunCommand(id); });
        action->setObjectName(QString::number(id));
        action->setEnabled(CommandEnabled(*root->module, command.procName, root->provider, provider));
    }
    return menu;
}

void CSubViewFiles::RunCommand(uint32_t commandId) {
    CTlcDataProvider* provider = m_contextProvider != nullptr ? m_contextProvider : m_treeList->SelectedTreeProvider();
    m_contextProvider = nullptr;
    const TavModCmdUI* command = m_hub != nullptr ? m_hub->GetModCommand(commandId) : nullptr;
    if (command == nullptr || command->proc == nullptr || provider == nullptr) return;
    command->proc(intptr_t(provider), intptr_t(this), 0, 0);
    UpdateButtonStates();
}

void CSubViewFiles::DropPaths(const std::vector<std::string>& paths, CTlcDataProvider* target) {
    for (const std::string& path : paths)
        for (const Root& root : m_roots)
            if (root.module->jobControl.dropProc != nullptr)
                root.module->jobControl.dropProc(intptr_t(root.provider), intptr_t(target), intptr_t(this),
                                                 intptr_t(path.c_str()));
    UpdateButtonStates();
}

void CSubViewFiles::OpenFocusedRow() {
    QTreeWidgetItem* row = m_treeList->List()->currentItem();
    CTlcDataProvider* provider = CTreeListCtrl::ProviderOf(row);
    if (provider != nullptr && provider->TreeItem() != nullptr) m_treeList->SelectProvider(provider);
}

bool CSubViewFiles::eventFilter(QObject* watched, QEvent* event) {
    QTreeWidget* tree = m_treeList->Tree();
    QTreeWidget* list = m_treeList->List();
    const bool onViews = watched == tree->viewport() || watched == list->viewport();
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (onViews && static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
                static_cast<QDropEvent*>(event)->acceptProposedAction();
                return true;
            }
            break;
        case QEvent::Drop:
            if (onViews) {
                auto* drop = static_cast<QDropEvent*>(event);
                std::vector<std::string> paths;
                for (const QUrl& url : drop->mimeData()->urls())
                    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
                const QPoint at = drop->position().toPoint();
                CTlcDataProvider* target = watched == list->viewport()
                                               ? CTreeListCtrl::ProviderOf(list->itemAt(at))
                                               : CTreeListCtrl::ProviderOf(tree->itemAt(at));
                drop->acceptProposedAction();
                DropPaths(paths, target);
                return true;
            }
            break;
        case QEvent::KeyPress:
            if (watched == list) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                    OpenFocusedRow();
                    return true;
                }
            }
            break;
        default: break;
    }
    return QWidget::eventFilter(watched, event);
}
