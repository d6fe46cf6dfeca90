// Missing image paths and full disks during a restore.
#include "DialogErrorCallback.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QWidget>
#include <cstdio>

#include "BrowserTexts.h"
#include "tavui/Prompt.h"
#include "platform/TextFormat.h"

using namespace browsertext;

int32_t CDialogErrorCallback::Ask(const char* pattern, bool save, std::string& path) {
    int32_t result = 0;
    auto ask = [&] {
        if (m_prompt.Message(m_window, plat::Format(pattern, path.c_str()), tavui::PromptIcon::Question, tavui::PromptButtons::YesNo) !=
            tavui::ID_YES)
            return;
        tavui::FileDialogSpec spec;
        spec.save = save;
        spec.defaultExtension = OPEN_EXTENSION;
        spec.filter = OPEN_FILTER;
        spec.initialPath = path;
        if (auto picked = m_prompt.FileDialog(m_window, spec)) path = *picked;
        result = 2;
    };
    if (m_window == nullptr || QThread::currentThread() == m_window->thread()) {
        ask();
    } else {
        QMetaObject::invokeMethod(m_window, ask, Qt::BlockingQueuedConnection);
    }
    return result;
}

int32_t CDialogErrorCallback::OnChangePath(CTavRepository*, std::string& path) {
    return Ask(DLG_CHANGE_PATH, false, path);
}

int32_t CDialogErrorCallback::OnChangeDisk(CTavRepository*, std::string& path) {
    return Ask(DLG_CHANGE_DISK, true, path);
}
