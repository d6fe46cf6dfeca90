// The editor's main window over a temporary home folder: prompts are scripted and the
// programs it would start are recorded instead of started.
#pragma once

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "EditorTexts.h"
#include "TavoraMainFrame.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"

class CEditorFrameTest : public QObject {
protected:
    QTemporaryDir m_home;
    std::unique_ptr<CTavModFactory> m_hub;
    tavui::CScriptedPrompt m_prompt;
    std::unique_ptr<CTavoraMainFrame> m_frame;
    std::vector<QStringList> m_started;  // the program's file name, then its arguments

    // A new window; `loadModules` lets the hub load the modules it finds.
    void OpenFrame(bool loadModules = false) {
        for (const char* name : {"TAVORA_HOME", "HOME", "XDG_RUNTIME_DIR"}) qputenv(name, m_home.path().toUtf8());
        m_prompt = tavui::CScriptedPrompt();
        m_hub = std::make_unique<CTavModFactory>(editortext::HUB_COMMAND_BASE);
        if (loadModules) m_hub->Reconnoiter();
        m_frame = std::make_unique<CTavoraMainFrame>(m_hub.get(), m_prompt);
        m_started.clear();
        m_frame->startProgram = [this](const QString& program, const QStringList& args) {
            m_started.push_back(QStringList{QFileInfo(program).fileName()} + args);
            return true;
        };
    }
    void CloseFrame() {
        tavui::SetDialogRunner(nullptr);
        m_frame->Doc().SetModified(false);
        m_frame.reset();
    }

    template <typename T>
    T* Find(const QString& name) {
        T* w = m_frame->findChild<T*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }
    template <typename T>
    T* Find(int id) { return Find<T>(QString::number(id)); }
    std::string Path(const char* name) const { return (m_home.path() + "/" + name).toStdString(); }
};
