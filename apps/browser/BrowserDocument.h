// CBrowserDocument: the browser's repository, its baselines and the roots of the loaded
// baseline, without any window. The main window and the benchmark drive it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tavrep/TavRepository.h"

class CTavModFactory;
class CTlcDataProvider;
class CTreeListCtrl;
class QWidget;
namespace tavui { class IPrompt; }

struct BaselineEntry {
    uint32_t number = 0;
    std::string text;  // "Baseline %ld - %s"
};

class CBrowserDocument {
public:
    // `hub` may be null (no module providers; every root becomes a browser item).
    CBrowserDocument(CTavModFactory* hub, tavui::IPrompt& prompt);
    ~CBrowserDocument();

    // Opens a repository: attach with the default security, then the password (the empty
    // one first, then the password dialog until it is right or cancelled). On failure the
    // repository is left detached. Any exception fails the open.
    bool Open(const std::string& path, QWidget* parent = nullptr);
    void Close();
    bool IsOpen() const { return m_repository->IsAttached() != 0; }
    CTavRepository& Repository() { return *m_repository; }
    const std::string& Path() const { return m_path; }
    std::string Title() const;

    // Newest first; an unreadable header is passed over, the older ones are listed.
    const std::vector<BaselineEntry>& Baselines() const { return m_baselines; }
    void ReadBaselines();

    // Loads a baseline and makes one provider per shown root (check state 1), in root
    // order; the caller owns them. Module roots come from the module's provider factory
    // when there is one. Empty when the baseline cannot be loaded.
    std::vector<CTlcDataProvider*> LoadContent(uint32_t number, CTreeListCtrl* control = nullptr);
    CTavRepBaselineDetails* Baseline() const { return m_baseline; }
    uint32_t LoadedNumber() const { return m_loadedNumber; }
    void ReleaseBaseline();

private:
    CTavModFactory* m_hub;
    tavui::IPrompt& m_prompt;
    std::unique_ptr<CTavRepository> m_repository;
    std::string m_path;
    std::vector<BaselineEntry> m_baselines;
    CTavRepBaselineDetails* m_baseline = nullptr;
    uint32_t m_loadedNumber = 0;
};

// The main window's answers to the repository between dialogs: a missing image file may be
// browsed for; the browser never writes, so a full disk is answered with 0.
class CBrowserErrorCallback : public CTavRepErrorCallback {
public:
    CBrowserErrorCallback(tavui::IPrompt& prompt, QWidget* parent) : m_prompt(prompt), m_parent(parent) {}
    int32_t OnChangePath(CTavRepository* repository, std::string& path) override;
    int32_t OnChangeDisk(CTavRepository*, std::string&) override { return 0; }

private:
    tavui::IPrompt& m_prompt;
    QWidget* m_parent;
};
