// CBrowserNodeProvider: the browser's item of a stored node that no module claims, with
// the eight list columns of its children and their order.
#pragma once
#include <string>

#include "BrowserTexts.h"
#include "tavui/TavTlcDataRep.h"

class CBrowserNodeProvider : public CTavTlcDataRep {
public:
    static constexpr int COLUMN_COUNT = 8;

    CBrowserNodeProvider(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline);

    uint32_t ProviderID() const override { return browsertext::PROVIDER_TAG; }
    bool MayHaveChildren() const override;
    int GetChildren(CTlcChildSink& sink) override;
    int GetListColumnInfo(int index, TlcColumn* column) const override;
    std::vector<std::string> RenderChildRow(const CTlcDataProvider& child) const override;
    int ListCompareProc(const CTlcDataProvider& a, const CTlcDataProvider& b, int column) const override;

    const std::string& TypeName() const { return m_typeName; }

    // Texts of the columns (exposed for the extract dialog and tests).
    static std::string StatusText(const TavNodeRec& node);
    std::string ContentImageText(const TavNodeRec& node) const;

private:
    std::string m_typeName;
};
