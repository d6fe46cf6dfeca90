// CTlcDataProvider: one item of a tree-list pair. Providers form the tree themselves (each
// owns its children), so the check states, the lazy listing of children and the list's
// rows and order are plain code that runs without a window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CTlcDataProvider;

// Check states of items.
constexpr int TLC_UNCHECKED = 1;
constexpr int TLC_CHECKED = 2;
constexpr int TLC_PARTLY = 3;

// Kinds of items: a folder gets a tree item, a file only a list row.
constexpr int TLC_KIND_FOLDER = 1;
constexpr int TLC_KIND_FILE = 4;

struct TlcColumn {
    std::string heading;
    int width = 100;
    bool rightAligned = false;
};

// Where GetChildren hands its children (the tree-list control, or the plain default that
// only keeps them). The three calls are the insert-child, go-on and children-done requests.
class CTlcChildSink {
public:
    virtual ~CTlcChildSink() = default;
    virtual void TreeInsertChild(CTlcDataProvider* parent, CTlcDataProvider* child);
    virtual bool GoOn(CTlcDataProvider* parent) { return true; }
    virtual void ChildrenDone(CTlcDataProvider* parent) {}
};

class CTlcDataProvider {
public:
    CTlcDataProvider() = default;
    virtual ~CTlcDataProvider();
    CTlcDataProvider(const CTlcDataProvider&) = delete;
    CTlcDataProvider& operator=(const CTlcDataProvider&) = delete;
    // Releases this provider and its children.
    virtual void Dispose() { delete this; }

    // A four-character tag naming the kind of item.
    virtual uint32_t ProviderID() const = 0;
    // Lists the children through the sink; 1 on success.
    virtual int GetChildren(CTlcChildSink& sink) { return 1; }
    // Whether a folder item may have children (shows an expand button before listing).
    virtual bool MayHaveChildren() const { return m_kind == TLC_KIND_FOLDER; }
    // Whether the item shows in the tree (folders; a file only where an item says so).
    virtual bool HasTreeItem() const { return m_kind == TLC_KIND_FOLDER; }
    // Whether the item's text is shown in bold (an item with a rule of its own).
    virtual bool IsBold() const { return false; }
    // Without a column: the number of list columns. With one: fills it; 0 outside range.
    virtual int GetListColumnInfo(int index, TlcColumn* column) const;
    // The texts of a child's list row, one per column.
    virtual std::vector<std::string> RenderChildRow(const CTlcDataProvider& child) const;
    // Order of two children in the list by a column (negative, 0, positive).
    virtual int ListCompareProc(const CTlcDataProvider& a, const CTlcDataProvider& b,
                                int column) const;
    // Items that list facts about themselves instead of their children: the rows of the
    // list (one text per column); ShowsDetails() tells the list to use them.
    virtual bool ShowsDetails() const { return false; }
    virtual std::vector<std::vector<std::string>> GetDetailRows() const { return {}; }
    // Told after the user changed this item's check state (tree or list).
    virtual void OnTreeItemStateChanged() {}
    // The state this item takes when a parent in `parentState` adopts it: 2 under a checked
    // parent, else 1. Items whose state comes from elsewhere (a job) answer their own.
    virtual int InitialCheckState(int parentState) const;

    // --- item data ---
    int Kind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    int Icon() const { return m_icon; }
    int OpenIcon() const { return m_openIcon; }
    void SetIcons(int icon, int openIcon) { m_icon = icon; m_openIcon = openIcon; }
    int CheckState() const { return m_checkState; }
    // Sets the state of this item only (no propagation).
    void SetCheckStateRaw(int state) { m_checkState = state; }
    // The user's change: the item and every listed item below take the state, and the items
    // above are worked out again (all children 2: 2, all 1: 1, else 3).
    void ChangeCheckState(int state);
    void* TreeItem() const { return m_treeItem; }
    void SetTreeItem(void* item) { m_treeItem = item; }

    // --- the tree of providers ---
    CTlcDataProvider* Parent() const { return m_parent; }
    CTlcDataProvider* TopMostParent();
    const std::vector<CTlcDataProvider*>& Children() const { return m_children; }
    bool ChildrenListed() const { return m_listed; }
    // Lists the children once (through `sink`, or a plain sink).
    void EnsureChildren(CTlcChildSink* sink = nullptr);
    // Forgets listed children (they are listed again on the next EnsureChildren).
    void ClearChildren();
    // Appends a child (taking ownership); its state is its InitialCheckState: 2 under a
    // checked parent, 1 under a cleared one, its own (1 unless set before) under a mixed one.
    void AdoptChild(CTlcDataProvider* child);
    // Removes a child and releases it.
    void ReleaseChild(CTlcDataProvider* child);
    // Works out this item's state and those above from their listed children again.
    void RecomputeFromChildren() { RecomputeUp(); }
    // The children in list order for `column` (folders first, then the column's order).
    std::vector<CTlcDataProvider*> SortedChildren(int column, bool descending) const;

private:
    void PropagateDown(int state);
    void RecomputeUp();

    int m_kind = TLC_KIND_FILE;
    std::string m_name;
    int m_icon = 0;
    int m_openIcon = 0;
    int m_checkState = TLC_UNCHECKED;
    void* m_treeItem = nullptr;
    CTlcDataProvider* m_parent = nullptr;
    std::vector<CTlcDataProvider*> m_children;
    bool m_listed = false;
};
