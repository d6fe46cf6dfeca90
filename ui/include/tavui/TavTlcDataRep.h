// CTavTlcDataRep: a tree-list provider of one stored node: it owns the node record and
// reads from a repository and the loaded baseline.
#pragma once
#include "tavrep/TavTypes.h"
#include "tavui/TlcDataProvider.h"

class CTavRepository;
class CTavRepBaselineDetails;

class CTavTlcDataRep : public CTlcDataProvider {
public:
    // Takes ownership of `node` (released with CTavRepository::DisposeNode).
    CTavTlcDataRep(TavNodeRec* node, CTavRepository* repository, CTavRepBaselineDetails* baseline);
    ~CTavTlcDataRep() override;

    TavNodeRec* GetNode() const { return m_node; }
    CTavRepository* Repository() const { return m_repository; }
    CTavRepBaselineDetails* Baseline() const { return m_baseline; }

protected:
    TavNodeRec* m_node;
    CTavRepository* m_repository;
    CTavRepBaselineDetails* m_baseline;
};

// The node of a provider when it is a repository provider, else null.
inline TavNodeRec* ProviderNode(CTlcDataProvider* provider) {
    auto* rep = dynamic_cast<CTavTlcDataRep*>(provider);
    return rep != nullptr ? rep->GetNode() : nullptr;
}

// "per_" and friends: four characters, the first in the most significant byte.
constexpr uint32_t TlcTag(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
           uint32_t(uint8_t(d));
}
