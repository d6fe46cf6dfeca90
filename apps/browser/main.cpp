// TvrBrowser: opens a repository, shows its baselines and restores from them.
#include <QApplication>

#include "BrowserMainDlg.h"
#include "BrowserTexts.h"
#include "tavengine/TavModFactory.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"
#include "tavui/WindowBeacon.h"
#include "tavui/TavApplication.h"

int main(int argc, char** argv) {
    tavui::CTavApplication app(argc, argv);
    QApplication::setApplicationName(browsertext::APP_TITLE);
    TavoraColorDef::InitColorDef();
    CTavModFactory hub(browsertext::HUB_COMMAND_BASE);
    hub.EnableViews(true);
    hub.Reconnoiter();
    tavui::CQtPrompt prompt;
    int result = 0;
    {
        CBrowserMainDlg window(&hub, prompt);
        // The editor finds this window by its title and brings it to the front.
        tavui::CWindowBeacon beacon(&window);
        window.show();
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        window.HandleCommandLine(arguments);
        result = window.exec();
    }
    hub.ReleaseModules();
    return result == QDialog::Accepted || result == QDialog::Rejected ? 0 : result;
}
