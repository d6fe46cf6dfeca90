// CTavJobNodeHelper: base of the module helpers that wrap a job's backup node.
#pragma once
#include <cstdint>
#include <string>

#include "tavengine/TavEngineExport.h"
#include "tavengine/XMLNode.h"

class CTavJobHelper;

// Holds one backup node of a job and the job that owns it. It owns neither: the job must
// outlive the helper.
class TAVENGINE_API CTavJobNodeHelper {
public:
    CTavJobNodeHelper(const XMLNode& node, CTavJobHelper* job);
    virtual ~CTavJobNodeHelper();
    CTavJobNodeHelper(const CTavJobNodeHelper&) = delete;
    CTavJobNodeHelper& operator=(const CTavJobNodeHelper&) = delete;

    const XMLNode& GetNode() const { return m_node; }
    CTavJobHelper* GetJob() const { return m_job; }
    std::string GetModuleName() const;
    // The node's "flags" number (0 when absent).
    uint32_t GetNodeFlags() const;
    void SetNodeFlags(uint32_t flags);

protected:
    // Tells the job's observer that the job changed (with 1 for a change).
    void NotifyJob(int32_t flag = 1);

    XMLNode m_node;
    CTavJobHelper* m_job;
};
