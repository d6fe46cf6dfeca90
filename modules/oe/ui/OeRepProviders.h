// The Outlook Express part of a stored baseline in the browser's tree: the module root
// ("oerr"), identities ("oer1"), the "Messages" group and stored store files ("oer3") and
// settings items ("oer2").
#pragma once
#include <optional>

#include "core/OeRecords.h"
#include "tavui/TavTlcDataRep.h"

constexpr uint32_t OE_REP_ROOT = TlcTag('o', 'e', 'r', 'r');
constexpr uint32_t OE_REP_IDENTITY = TlcTag('o', 'e', 'r', '1');
constexpr uint32_t OE_REP_ITEM = TlcTag('o', 'e', 'r', '2');
constexpr uint32_t OE_REP_GROUP = TlcTag('o', 'e', 'r', '3');

// Base of the four: reads the node's module data and its stored children.
class COeRepProvider : public CTavTlcDataRep {
public:
    using CTavTlcDataRep::CTavTlcDataRep;
    // The stored children of `node` in sibling order (bounded; deleted ones left out).
    std::vector<TavNodeRec> StoredChildren(const TavNodeRec& node) const;
    // The node's module data (extra), empty when there is none or it cannot be read.
    std::vector<uint8_t> Extra(const TavNodeRec& node) const;
};

class COeRepRoot : public COeRepProvider {
public:
    COeRepRoot(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline);
    uint32_t ProviderID() const override { return OE_REP_ROOT; }
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    std::vector<std::string> RenderChildRow(const CTlcDataProvider& child) const override;
};

class COeRepIdentity : public COeRepProvider {
public:
    COeRepIdentity(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline);
    uint32_t ProviderID() const override { return OE_REP_IDENTITY; }
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    const std::string& Identifier() const { return m_identifier; }

private:
    std::string m_identifier;
};

// The "Messages" group (folder id 1, over the "<msgroot>" node) or one stored store file.
class COeRepGroup : public COeRepProvider {
public:
    // `msgroot`: the node whose children are the store files.
    COeRepGroup(TavNodeRec* node, const TavNodeRec& msgroot, OeFolderRecord record,
                CTavRepository* repository, CTavRepBaselineDetails* baseline);
    uint32_t ProviderID() const override { return OE_REP_GROUP; }
    bool MayHaveChildren() const override { return true; }
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    bool ShowsDetails() const override { return true; }
    std::vector<std::vector<std::string>> GetDetailRows() const override;
    const OeFolderRecord& Record() const { return m_record; }

private:
    TavNodeRec m_msgroot;
    OeFolderRecord m_record;
};

class COeRepItem : public COeRepProvider {
public:
    COeRepItem(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline);
    uint32_t ProviderID() const override { return OE_REP_ITEM; }
};

// What the module's commands may do with a provider (UpdateCmdUI's rules).
bool OeCanViewDbx(const CTlcDataProvider* provider);
bool OeCanExtract(const CTlcDataProvider* provider);
