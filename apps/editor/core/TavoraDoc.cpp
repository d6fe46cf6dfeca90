#include "TavoraDoc.h"

#include "EditorSettings.h"
#include "platform/FileSystem.h"

CTavoraDoc::CTavoraDoc() { Adopt(std::make_unique<CTavJobHelper>()); }

CTavoraDoc::~CTavoraDoc() {
    if (m_job) m_job->SetObserver(nullptr);
}

void CTavoraDoc::Adopt(std::unique_ptr<CTavJobHelper> job) {
    if (m_job) m_job->SetObserver(nullptr);
    m_job = std::move(job);
    m_job->SetObserver(this);
    m_modified = false;
    if (onChanged) onChanged();
}

void CTavoraDoc::NewJob(const std::string& documentsFolder) {
    auto job = std::make_unique<CTavJobHelper>();
    editor::ApplyNewJobDefaults(*job, documentsFolder);
    Adopt(std::move(job));
}

bool CTavoraDoc::Open(const std::string& path) {
    auto job = std::make_unique<CTavJobHelper>();
    if (!job->Load(path)) {
        m_error = job->GetErrorText();
        return false;
    }
    Adopt(std::move(job));
    return true;
}

bool CTavoraDoc::Save(const std::string& path) {
    for (auto& saver : m_savers) saver();
    if (!m_job->Save(path)) {
        m_error = m_job->GetErrorText();
        return false;
    }
    SetModified(false);
    return true;
}

std::string CTavoraDoc::Title() const {
    const std::string& path = m_job->GetPath();
    return path.empty() ? std::string("Untitled") : plat::BaseName(path);
}

void CTavoraDoc::SetModified(bool modified) {
    if (m_modified == modified) return;
    m_modified = modified;
    if (onChanged) onChanged();
}

void CTavoraDoc::OnTavJobChanged(CTavJobHelper*, int32_t flag) { SetModified(flag != 0); }
