// Opening a repository and loading its baselines.
#include "BrowserDocument.h"

#include <cstdio>

#include "BrowserNodeProvider.h"
#include "BrowserTexts.h"
#include "tavengine/TavModFactory.h"
#include "tavrep/BaselineDetails.h"
#include "tavrep/FormatAdaptor.h"
#include "tavrep/TavException.h"
#include "tavrep/TavSecurity.h"
#include "tavui/Prompt.h"
#include "tavui/TavFormat.h"
#include "platform/TextFormat.h"

using namespace browsertext;

CBrowserDocument::CBrowserDocument(CTavModFactory* hub, tavui::IPrompt& prompt)
    : m_hub(hub), m_prompt(prompt), m_repository(std::make_unique<CTavRepository>()) {}

CBrowserDocument::~CBrowserDocument() { Close(); }

void CBrowserDocument::Close() {
    ReleaseBaseline();
    m_repository->SetRepErrorCallback(nullptr);
    if (m_repository->IsAttached()) m_repository->Detach();
    m_baselines.clear();
    m_path.clear();
}

std::string CBrowserDocument::Title() const {
    if (m_path.empty()) return APP_TITLE;
    return plat::Format(TITLE_WITH_PATH, m_path.c_str());
}

bool CBrowserDocument::Open(const std::string& path, QWidget* parent) {
    TavImageSecurity security;
    InitTavImageSecure(&security, nullptr, COMPRESS_DEFLATE, -1, ENCRYPT_BUILTIN, 0x7FFFFFFF);
    Close();
    bool opened = false;
    try {
        if (m_repository->Attach(path, &security) == 1) {
            bool verified = m_repository->VerifyPassword("") != 0;
            while (!verified) {
                const std::optional<std::string> password = m_prompt.Password(parent);
                if (!password) break;
                verified = m_repository->VerifyPassword(password->c_str()) != 0;
                if (!verified) m_prompt.Message(parent, ACCESS_DENIED, tavui::PromptIcon::Warning);
            }
            if (verified) {
                m_path = path;
                ReadBaselines();
                opened = true;
            }
        }
    } catch (...) {
        // A failure after the attach (the password check, the baseline list) fails the
        // open: a protected repository never stays open unverified.
        TakeCurrentException();
        opened = false;
    }
    if (!opened) {
        m_baselines.clear();
        m_path.clear();
        if (m_repository->IsAttached()) m_repository->Detach();
    }
    return opened;
}

void CBrowserDocument::ReadBaselines() {
    m_baselines.clear();
    const uint32_t latest = m_repository->GetLatestBaselineNumber();
    if (latest == TAV_NONE) return;
    for (uint32_t number = latest; number != 0; --number) {
        TavBaselineHeaderRec header;
        // A header that cannot be read is passed over; older baselines may still be whole.
        if (m_repository->GetBaselineHeader(number, header) != 1) continue;
        const std::string when = tavui::LocalTimeText(header.time, tavui::LIST_TIME_FORMAT);
        m_baselines.push_back({number, plat::Format(BASELINE_ENTRY, long(number), when.c_str())});
    }
}

void CBrowserDocument::ReleaseBaseline() {
    if (m_baseline != nullptr) m_baseline->Dispose();
    m_baseline = nullptr;
    m_loadedNumber = 0;
}

std::vector<CTlcDataProvider*> CBrowserDocument::LoadContent(uint32_t number, CTreeListCtrl* control) {
    std::vector<CTlcDataProvider*> roots;
    ReleaseBaseline();
    try {
        m_baseline = m_repository->LoadBaseline(number);
    } catch (CTavException* e) {
        e->Delete();
        m_baseline = nullptr;
    }
    if (m_baseline == nullptr) return roots;
    m_loadedNumber = number;
    const int32_t count = m_baseline->GetRootCount();
    for (int32_t index = 0; index < count; ++index) {
        TavNodeRec* node = CTavRepository::CreateNode();
        if (m_baseline->LoadRootAt(*node, index) != 1 || node->moduleId == 0) {
            CTavRepository::DisposeNode(node);
            continue;
        }
        CTlcDataProvider* provider = nullptr;
        if (m_hub != nullptr) {
            const TavModDesc* module = m_hub->GetModDesc(node->moduleId);
            if (module != nullptr && module->createRepRoot != nullptr)
                provider = m_hub->CreateRepRoot(module, control, node, m_repository.get(), m_baseline);
        }
        if (provider != nullptr) {
            CTavRepository::DisposeNode(node);  // the module's provider keeps its own copy
        } else {
            provider = new CBrowserNodeProvider(node, m_repository.get(), m_baseline);
        }
        provider->SetCheckStateRaw(TLC_UNCHECKED);
        roots.push_back(provider);
    }
    return roots;
}

int32_t CBrowserErrorCallback::OnChangePath(CTavRepository*, std::string& path) {
    if (m_prompt.Message(m_parent, MAIN_CHANGE_PATH, tavui::PromptIcon::Question,
                         tavui::PromptButtons::YesNo) != tavui::ID_YES)
        return 0;
    tavui::FileDialogSpec spec;
    spec.defaultExtension = OPEN_EXTENSION;
    spec.filter = OPEN_FILTER;
    spec.initialPath = path;
    spec.overwritePrompt = true;
    if (auto picked = m_prompt.FileDialog(m_parent, spec)) path = *picked;
    return 2;
}
