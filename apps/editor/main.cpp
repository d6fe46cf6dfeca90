// tavora: the backup job editor.
#include <QApplication>

#include "EditorTexts.h"
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
        CTavoraMainFrame window(&hub, prompt);
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        window.HandleCommandLine(arguments);
        window.show();
        result = app.exec();
    }
    hub.ReleaseModules();
    return result;
}
