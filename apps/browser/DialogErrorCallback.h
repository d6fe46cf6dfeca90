// The Restore and Extract dialogs' answers to the repository while they run: a missing
// image path may be browsed for, a full disk may be moved to another path. The questions
// are asked on the window's thread even when the engine runs on a worker thread.
#pragma once
#include "tavrep/TavRepository.h"

class QWidget;
namespace tavui { class IPrompt; }

class CDialogErrorCallback : public CTavRepErrorCallback {
public:
    CDialogErrorCallback(tavui::IPrompt& prompt, QWidget* window) : m_prompt(prompt), m_window(window) {}
    int32_t OnChangePath(CTavRepository* repository, std::string& path) override;
    int32_t OnChangeDisk(CTavRepository* repository, std::string& path) override;

private:
    int32_t Ask(const char* pattern, bool save, std::string& path);
    tavui::IPrompt& m_prompt;
    QWidget* m_window;
};
