// The tree-list pair.
#include "tavui/TreeListCtrl.h"

#include <QEvent>
#include <algorithm>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeWidget>

#include "tavui/TavColors.h"
#include "tavui/TavImageList.h"

namespace {
constexpr int PROVIDER_ROLE = Qt::UserRole + 1;
constexpr const char* DUMMY_TEXT = "dummy";

void SetBold(QTreeWidgetItem* item, bool bold) {
    QFont font = item->font(0);
    if (font.bold() == bold) return;
    font.setBold(bold);
    item->setFont(0, font);
}

bool SameOrBelow(const CTlcDataProvider* item, const CTlcDataProvider* top) {
    for (; item != nullptr; item = item->Parent())
        if (item == top) return true;
    return false;
}

Qt::CheckState ToQt(int state) {
    return state == TLC_CHECKED ? Qt::Checked : state == TLC_PARTLY ? Qt::PartiallyChecked : Qt::Unchecked;
}
int FromQt(Qt::CheckState state) {
    return state == Qt::Checked ? TLC_CHECKED : state == Qt::PartiallyChecked ? TLC_PARTLY : TLC_UNCHECKED;
}
}  // namespace

CTreeListCtrl::CTreeListCtrl(QWidget* parent)
    : QWidget(parent), m_splitter(new QSplitter(Qt::Horizontal, this)),
      m_tree(new QTreeWidget(m_splitter)), m_list(new QTreeWidget(m_splitter)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
    m_splitter->setObjectName(QString::number(SPLITTER_ID));
    m_splitter->setChildrenCollapsible(false);
    m_tree->setObjectName(QString::number(TREE_ID));
    m_list->setObjectName(QString::number(LIST_ID));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    // Long stored paths widen the column and bring a scroll bar instead of being cut.
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);  // full-row select
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setSortIndicatorShown(false);
    m_list->header()->setStretchLastSection(false);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 3);
    m_tree->installEventFilter(this);
    m_list->installEventFilter(this);

    // Changing an item's icon is no change of its check box: itemChanged is not followed then.
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (CTlcDataProvider* p = ProviderOf(item)) {
            ListChildren(p);
            const bool was = m_updating;
            m_updating = true;
            item->setIcon(0, tavui::CTavImageList::Shared().Icon(p->OpenIcon()));
            m_updating = was;
        }
    });
    connect(m_tree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (CTlcDataProvider* p = ProviderOf(item)) {
            const bool was = m_updating;
            m_updating = true;
            item->setIcon(0, tavui::CTavImageList::Shared().Icon(p->Icon()));
            m_updating = was;
        }
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CTreeListCtrl::OnCurrentChanged);
    connect(m_tree, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int) { OnItemChanged(item, false); });
    connect(m_list, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int) { OnItemChanged(item, true); });
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &CTreeListCtrl::SortList);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        CTlcDataProvider* p = ProviderOf(item);
        if (p != nullptr && p->TreeItem() != nullptr) SelectProvider(p);
    });
    connect(m_tree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { OnContextMenu(pos, false); });
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { OnContextMenu(pos, true); });
}

CTreeListCtrl::~CTreeListCtrl() { ClearTree(); }

CTlcDataProvider* CTreeListCtrl::ProviderOf(QTreeWidgetItem* item) {
    if (item == nullptr) return nullptr;
    return reinterpret_cast<CTlcDataProvider*>(item->data(0, PROVIDER_ROLE).value<quintptr>());
}

QTreeWidgetItem* CTreeListCtrl::MakeTreeItem(CTlcDataProvider* provider) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, QString::fromStdString(provider->Name()));
    item->setIcon(0, tavui::CTavImageList::Shared().Icon(provider->Icon()));
    item->setData(0, PROVIDER_ROLE, QVariant::fromValue(quintptr(provider)));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, ToQt(provider->CheckState()));
    if (provider->IsBold()) SetBold(item, true);
    if (provider->MayHaveChildren()) item->addChild(new QTreeWidgetItem(QStringList(DUMMY_TEXT)));
    provider->SetTreeItem(item);
    return item;
}

void CTreeListCtrl::InsertRoot(CTlcDataProvider* provider) {
    m_updating = true;
    m_roots.push_back(provider);
    m_tree->addTopLevelItem(MakeTreeItem(provider));
    m_updating = false;
}

void CTreeListCtrl::ClearList() {
    m_updating = true;
    m_list->clear();
    m_listed = nullptr;
    m_updating = false;
}

void CTreeListCtrl::ClearTree() {
    ClearList();
    m_updating = true;
    m_tree->clear();
    m_updating = false;
    for (CTlcDataProvider* root : m_roots) root->Dispose();
    m_roots.clear();
}

void CTreeListCtrl::TreeInsertChild(CTlcDataProvider* parent, CTlcDataProvider* child) {
    parent->AdoptChild(child);
    auto* parentItem = static_cast<QTreeWidgetItem*>(parent->TreeItem());
    if (parentItem != nullptr && child->HasTreeItem()) {
        const bool was = m_updating;
        m_updating = true;
        parentItem->addChild(MakeTreeItem(child));
        m_updating = was;
    }
}

// The parent's own state may have been worked out from its children.
void CTreeListCtrl::ChildrenDone(CTlcDataProvider* parent) {
    if (auto* item = static_cast<QTreeWidgetItem*>(parent->TreeItem())) {
        const bool was = m_updating;
        m_updating = true;
        item->setCheckState(0, ToQt(parent->CheckState()));
        m_updating = was;
    }
}

void CTreeListCtrl::ReloadChildren(CTlcDataProvider* provider) {
    if (provider == nullptr) return;
    auto* item = static_cast<QTreeWidgetItem*>(provider->TreeItem());
    // The selection moves out of the items that go before their providers are released.
    QTreeWidgetItem* current = m_tree->currentItem();
    if (item != nullptr && current != nullptr && current != item && SameOrBelow(ProviderOf(current), provider))
        m_tree->setCurrentItem(item);
    const bool relist = m_listed != nullptr && SameOrBelow(m_listed, provider);
    if (relist) ClearList();
    if (item != nullptr) {
        const bool was = m_updating;
        m_updating = true;
        for (int i = item->childCount() - 1; i >= 0; --i) delete item->takeChild(i);
        if (provider->MayHaveChildren()) item->addChild(new QTreeWidgetItem(QStringList(DUMMY_TEXT)));
        m_updating = was;
    }
    provider->ClearChildren();
    ListChildren(provider);
    if (relist) ShowList(SelectedTreeProvider());
    RefreshStates();
}

void CTreeListCtrl::DeleteItem(CTlcDataProvider* provider) {
    if (provider == nullptr) return;
    if (m_listed != nullptr && SameOrBelow(m_listed, provider)) ClearList();
    CTlcDataProvider* parent = provider->Parent();
    if (auto* item = static_cast<QTreeWidgetItem*>(provider->TreeItem())) {
        QTreeWidgetItem* current = m_tree->currentItem();
        if (current != nullptr && SameOrBelow(ProviderOf(current), provider))
            m_tree->setCurrentItem(parent != nullptr ? static_cast<QTreeWidgetItem*>(parent->TreeItem()) : nullptr);
        const bool was = m_updating;
        m_updating = true;
        delete item;
        m_updating = was;
    }
    const bool listedHere = m_listed == parent;
    if (parent != nullptr) {
        parent->ReleaseChild(provider);
    } else {
        m_roots.erase(std::remove(m_roots.begin(), m_roots.end(), provider), m_roots.end());
        provider->Dispose();
    }
    if (listedHere || m_listed == nullptr) ShowList(SelectedTreeProvider());
}

void CTreeListCtrl::RefreshList() {
    CTlcDataProvider* current = SelectedListProvider();
    ShowList(m_listed);
    if (current != nullptr)
        for (int i = 0; i < m_list->topLevelItemCount(); ++i)
            if (ProviderOf(m_list->topLevelItem(i)) == current) m_list->setCurrentItem(m_list->topLevelItem(i));
}

void CTreeListCtrl::ListChildren(CTlcDataProvider* provider) {
    if (provider == nullptr) return;
    auto* parentItem = static_cast<QTreeWidgetItem*>(provider->TreeItem());
    if (provider->ChildrenListed()) {
        // Listed without the control (plain code): give the folder children their items.
        if (parentItem == nullptr) return;
        const bool was = m_updating;
        m_updating = true;
        for (int i = parentItem->childCount() - 1; i >= 0; --i)
            if (ProviderOf(parentItem->child(i)) == nullptr) delete parentItem->takeChild(i);
        for (CTlcDataProvider* child : provider->Children())
            if (child->HasTreeItem() && child->TreeItem() == nullptr) parentItem->addChild(MakeTreeItem(child));
        m_updating = was;
        return;
    }
    if (auto* item = parentItem) {
        const bool was = m_updating;
        m_updating = true;
        for (int i = item->childCount() - 1; i >= 0; --i)
            if (ProviderOf(item->child(i)) == nullptr) delete item->takeChild(i);
        m_updating = was;
    }
    provider->EnsureChildren(this);
    if (auto* item = static_cast<QTreeWidgetItem*>(provider->TreeItem()))
        item->setChildIndicatorPolicy(item->childCount() > 0 ? QTreeWidgetItem::ShowIndicator
                                                             : QTreeWidgetItem::DontShowIndicator);
}

CTlcDataProvider* CTreeListCtrl::SelectedTreeProvider() const { return ProviderOf(m_tree->currentItem()); }

CTlcDataProvider* CTreeListCtrl::SelectedListProvider() const {
    QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !item->isSelected()) {
        const auto selected = m_list->selectedItems();
        item = selected.isEmpty() ? nullptr : selected.first();
    }
    return ProviderOf(item);
}

void CTreeListCtrl::SelectProvider(CTlcDataProvider* provider) {
    if (provider == nullptr) return;
    // Make sure the items above are listed so that the provider has its tree item.
    std::vector<CTlcDataProvider*> chain;
    for (CTlcDataProvider* p = provider->Parent(); p != nullptr; p = p->Parent()) chain.push_back(p);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        ListChildren(*it);
        if (auto* item = static_cast<QTreeWidgetItem*>((*it)->TreeItem())) item->setExpanded(true);
    }
    if (auto* item = static_cast<QTreeWidgetItem*>(provider->TreeItem())) m_tree->setCurrentItem(item);
}

void CTreeListCtrl::OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    CTlcDataProvider* p = ProviderOf(current);
    ShowList(p);
    emit treeSelectionChanged(p, ProviderOf(previous));
}

std::vector<CTlcDataProvider*> CTreeListCtrl::ListProviders() const {
    std::vector<CTlcDataProvider*> rows;
    rows.reserve(size_t(m_list->topLevelItemCount()));
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) rows.push_back(ProviderOf(m_list->topLevelItem(i)));
    return rows;
}

void CTreeListCtrl::ShowList(CTlcDataProvider* provider) {
    ClearList();
    if (provider == nullptr) return;
    ListChildren(provider);
    m_listed = provider;
    m_updating = true;
    const int columns = provider->GetListColumnInfo(0, nullptr);
    QStringList headings;
    std::vector<TlcColumn> infos;
    for (int i = 0; i < columns; ++i) {
        TlcColumn c;
        if (!provider->GetListColumnInfo(i, &c)) break;
        headings << QString::fromStdString(c.heading);
        infos.push_back(c);
    }
    m_list->setColumnCount(int(infos.size()));
    m_list->setHeaderLabels(headings);
    for (size_t i = 0; i < infos.size(); ++i) {
        m_list->setColumnWidth(int(i), TavoraColorDef::DluToPixels(m_list, infos[i].width,
                                                                   QString::fromStdString(infos[i].heading)));
        m_list->headerItem()->setTextAlignment(int(i), infos[i].rightAligned ? Qt::AlignRight | Qt::AlignVCenter
                                                                             : Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (m_sortColumn >= int(infos.size())) m_sortColumn = -1;
    m_list->header()->setSortIndicatorShown(m_sortColumn >= 0);
    if (m_sortColumn >= 0)
        m_list->header()->setSortIndicator(m_sortColumn, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QList<QTreeWidgetItem*> items;
    if (provider->ShowsDetails()) {
        for (const auto& texts : provider->GetDetailRows()) {
            auto* item = new QTreeWidgetItem();
            for (size_t i = 0; i < texts.size() && i < infos.size(); ++i)
                item->setText(int(i), QString::fromStdString(texts[i]));
            items.push_back(item);
        }
        m_list->addTopLevelItems(items);
        m_updating = false;
        emit rowsShown(int(items.size()));
        return;
    }
    const auto rows = provider->SortedChildren(m_sortColumn, m_descending);
    items.reserve(qsizetype(rows.size()));
    auto& images = tavui::CTavImageList::Shared();
    for (CTlcDataProvider* child : rows) {
        const std::vector<std::string> texts = provider->RenderChildRow(*child);
        auto* item = new QTreeWidgetItem();
        for (size_t i = 0; i < texts.size() && i < infos.size(); ++i) {
            item->setText(int(i), QString::fromStdString(texts[i]));
            if (infos[i].rightAligned) item->setTextAlignment(int(i), Qt::AlignRight | Qt::AlignVCenter);
        }
        item->setIcon(0, images.Icon(child->Icon()));
        item->setData(0, PROVIDER_ROLE, QVariant::fromValue(quintptr(child)));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, ToQt(child->CheckState()));
        if (child->IsBold()) SetBold(item, true);
        items.push_back(item);
    }
    m_list->addTopLevelItems(items);
    m_updating = false;
    emit rowsShown(int(items.size()));
}

void CTreeListCtrl::SortList(int column) {
    if (column == m_sortColumn) {
        m_descending = !m_descending;
    } else {
        m_sortColumn = column;
        m_descending = false;
    }
    RefreshList();
}

void CTreeListCtrl::SetListHeaderStyle(int, uint32_t colorRef) {
    TavoraColorDef::InitFlatHeader(m_list->header(), colorRef);
}

void CTreeListCtrl::OnItemChanged(QTreeWidgetItem* item, bool fromList) {
    if (m_updating) return;
    CTlcDataProvider* p = ProviderOf(item);
    if (p == nullptr) return;
    const int state = FromQt(item->checkState(0));
    if (state == p->CheckState()) return;
    p->ChangeCheckState(state);
    RefreshStates();
    emit stateChanged(p);
}

void CTreeListCtrl::OnListItemStateChanged(int row, int state) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    CTlcDataProvider* p = ProviderOf(item);
    if (p == nullptr) return;
    p->ChangeCheckState(state);
    RefreshStates();
    emit stateChanged(p);
}

void CTreeListCtrl::RefreshTreeItem(QTreeWidgetItem* item) {
    if (CTlcDataProvider* p = ProviderOf(item)) {
        item->setCheckState(0, ToQt(p->CheckState()));
        SetBold(item, p->IsBold());
    }
    for (int i = 0; i < item->childCount(); ++i) RefreshTreeItem(item->child(i));
}

void CTreeListCtrl::RefreshStates() {
    m_updating = true;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) RefreshTreeItem(m_tree->topLevelItem(i));
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_list->topLevelItem(i);
        if (CTlcDataProvider* p = ProviderOf(row)) {
            row->setCheckState(0, ToQt(p->CheckState()));
            SetBold(row, p->IsBold());
        }
    }
    m_updating = false;
}

void CTreeListCtrl::OnContextMenu(const QPoint& pos, bool fromList) {
    CTlcDataProvider* provider = nullptr;
    if (!fromList) {
        provider = ProviderOf(m_tree->itemAt(pos));
    } else if (m_list->topLevelItemCount() > 0) {
        CTlcDataProvider* row = ProviderOf(m_list->itemAt(pos));
        if (row != nullptr && row->TreeItem() != nullptr) provider = row;
        else provider = SelectedTreeProvider();
    }
    if (provider == nullptr) return;
    QTreeWidget* view = fromList ? m_list : m_tree;
    emit contextMenuRequested(provider, view->viewport()->mapToGlobal(pos));
}

bool CTreeListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) m_lastFocus = watched == m_list ? Pane::List : Pane::Tree;
    return QWidget::eventFilter(watched, event);
}
