// CTavoraDoc: the one job the editor has open, its file path and its modified flag.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tavengine/TavJobHelper.h"

class CTavoraDoc : public CTavJobObserver {
public:
    CTavoraDoc();
    ~CTavoraDoc() override;

    // A new job with the defaults of the settings store (see ApplyNewJobDefaults).
    void NewJob(const std::string& documentsFolder);
    // Loads a job file; false with ErrorText naming the file and the problem, and the
    // document as it was.
    bool Open(const std::string& path);
    // Lets every page write its controls into the job, then writes the file (empty: the
    // job's own path). Success clears the modified flag; false with ErrorText.
    bool Save(const std::string& path = {});

    // A page's writer, called before every save (in the order of registration).
    void AddSaver(std::function<void()> saver) { m_savers.push_back(std::move(saver)); }

    CTavJobHelper& Job() { return *m_job; }
    const std::string& Path() const { return m_job->GetPath(); }
    // The title the window shows: the file name, or "Untitled" for a job never saved.
    std::string Title() const;
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified);
    const std::string& ErrorText() const { return m_error; }
    // Told when the modified flag or the job itself changes.
    std::function<void()> onChanged;

    void OnTavJobChanged(CTavJobHelper* job, int32_t flag) override;

private:
    void Adopt(std::unique_ptr<CTavJobHelper> job);
    std::unique_ptr<CTavJobHelper> m_job;
    std::vector<std::function<void()>> m_savers;
    bool m_modified = false;
    std::string m_error;
};
