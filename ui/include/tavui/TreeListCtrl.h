// CTreeListCtrl: a tree beside a report list, both fed by CTlcDataProviders. The tree
// shows folder items (listed lazily on expansion or selection); the list shows every child
// of the selected tree item, with check boxes, full-row selection and a sort per column
// (the header shows the sort mark). The splitter between them sizes the two panes.
#pragma once
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "tavui/TlcDataProvider.h"

class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

class CTreeListCtrl : public QWidget, public CTlcChildSink {
    Q_OBJECT
public:
    enum class Pane { None, Tree, List };
    static constexpr int TREE_ID = 1000;
    static constexpr int LIST_ID = 1001;
    static constexpr int SPLITTER_ID = 1007;

    explicit CTreeListCtrl(QWidget* parent = nullptr);
    ~CTreeListCtrl() override;

    QTreeWidget* Tree() const { return m_tree; }
    QTreeWidget* List() const { return m_list; }
    QSplitter* Splitter() const { return m_splitter; }

    // Adds a top-level item (taking ownership of the provider) with an expand button.
    void InsertRoot(CTlcDataProvider* provider);
    // Removes and releases every item.
    void ClearTree();
    void ClearList();
    const std::vector<CTlcDataProvider*>& Roots() const { return m_roots; }

    CTlcDataProvider* SelectedTreeProvider() const;
    // The list row under the selection (the current row), or null.
    CTlcDataProvider* SelectedListProvider() const;
    void SelectProvider(CTlcDataProvider* provider);
    // Lists a folder item's children now (tree items included).
    void ListChildren(CTlcDataProvider* provider);
    // Forgets an item's children (tree items and rows) and lists them again.
    void ReloadChildren(CTlcDataProvider* provider);
    // Removes an item (with its tree item and everything below) and releases it.
    void DeleteItem(CTlcDataProvider* provider);
    // Shows the list's item again (rows added, removed or changed), keeping the current row.
    void RefreshList();
    // Shows every item's check state and type face again (after the providers changed them).
    void RefreshStates();

    void SetListHeaderStyle(int style, uint32_t colorRef);
    // The check state of list row `row` was set from outside (the Selection dialog).
    void OnListItemStateChanged(int row, int state);
    // Sorts the list by `column`: the same column again toggles the direction.
    void SortList(int column);
    int SortColumn() const { return m_sortColumn; }
    bool SortDescending() const { return m_descending; }
    // The pane that last took the keyboard focus.
    Pane LastFocusPane() const { return m_lastFocus; }
    void SetLastFocusPane(Pane pane) { m_lastFocus = pane; }
    // The list rows' providers in shown order.
    std::vector<CTlcDataProvider*> ListProviders() const;

    static CTlcDataProvider* ProviderOf(QTreeWidgetItem* item);

    // Child requests of GetChildren.
    void TreeInsertChild(CTlcDataProvider* parent, CTlcDataProvider* child) override;
    bool GoOn(CTlcDataProvider* parent) override { return true; }
    void ChildrenDone(CTlcDataProvider* parent) override;

signals:
    void treeSelectionChanged(CTlcDataProvider* current, CTlcDataProvider* previous);
    void rowsShown(int count);
    void stateChanged(CTlcDataProvider* provider);
    void contextMenuRequested(CTlcDataProvider* provider, QPoint globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* MakeTreeItem(CTlcDataProvider* provider);
    void OnCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void OnItemChanged(QTreeWidgetItem* item, bool fromList);
    void ShowList(CTlcDataProvider* provider);
    void RefreshTreeItem(QTreeWidgetItem* item);
    void OnContextMenu(const QPoint& pos, bool fromList);

    QSplitter* m_splitter;
    QTreeWidget* m_tree;
    QTreeWidget* m_list;
    std::vector<CTlcDataProvider*> m_roots;
    CTlcDataProvider* m_listed = nullptr;
    int m_sortColumn = -1;
    bool m_descending = false;
    bool m_updating = false;
    Pane m_lastFocus = Pane::None;
};
