// Repository node providers.
#include "tavui/TavTlcDataRep.h"

#include "tavrep/TavRepository.h"

CTavTlcDataRep::CTavTlcDataRep(TavNodeRec* node, CTavRepository* repository,
                               CTavRepBaselineDetails* baseline)
    : m_node(node), m_repository(repository), m_baseline(baseline) {}

CTavTlcDataRep::~CTavTlcDataRep() {
    if (m_node != nullptr) CTavRepository::DisposeNode(m_node);
}
