// tavora: the backup job editor.
#include <QApplication>

#include "EditorTexts.h"
#include "HostRunLink.h"
#include "TavoraMainFrame.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"
#include "tavui/TavApplication.h"

int main(int argc, char** argv) {
    tavui::CTavApplication app(argc, argv);
    QApplication::setApplicationName(editortext::APP_TITLE);
    TavoraColorDef::InitColorDef();
    CTavModFactory hub(editortext::HUB_COMMAND_BASE);
    hub.EnableViews(true);
    hub.Reconnoiter();
    tavui::CQtPrompt prompt;
    int result = 0;
    {
        // STATUS follows, and Backup Now sees, the command host's runs of the job (made
        // first: the window may let go of a run as it closes).
        CHostRunLink hostRuns;
        CTavoraMainFrame window(&hub, prompt);
        window.SetHostRunSource(&hostRuns);
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        window.HandleCommandLine(arguments);
        window.show();
        result = app.exec();
    }
    hub.ReleaseModules();
    return result;
}
