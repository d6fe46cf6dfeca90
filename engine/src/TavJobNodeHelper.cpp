// CTavJobNodeHelper: the backup node of one module in a job.
#include "tavengine/TavJobNodeHelper.h"

#include "JobSchema.h"
#include "tavengine/TavJobHelper.h"

CTavJobNodeHelper::CTavJobNodeHelper(const XMLNode& node, CTavJobHelper* job)
    : m_node(node), m_job(job) {}

CTavJobNodeHelper::~CTavJobNodeHelper() = default;

std::string CTavJobNodeHelper::GetModuleName() const { return m_node.GetAttribute(jobxml::MODULE); }

uint32_t CTavJobNodeHelper::GetNodeFlags() const { return m_node.GetNumber(jobxml::FLAGS, 0); }

void CTavJobNodeHelper::SetNodeFlags(uint32_t flags) {
    if (m_node.SetNumber(jobxml::FLAGS, flags)) NotifyJob(1);
}

void CTavJobNodeHelper::NotifyJob(int32_t flag) {
    if (m_job != nullptr) m_job->NotifyChange(flag);
}
