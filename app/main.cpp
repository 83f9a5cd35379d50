// Program entry: the application, the main window, the new-record dialog, the event loop.
#include <QApplication>
#include <QDir>
#include <memory>

#include "app/window/edit_dialog.h"
#include "app/window/main_window.h"
#include "app/platform/qt_hooks.h"
#include "app/platform/ui_services.h"
#include "app/platform/web_browser.h"

int main(int argc, char** argv) {
    PrepareApplicationProcess();
    QApplication app(argc, argv);
    SetUpApplication();
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName("cz.svazkovna.Svazkovna");

    // Declared first so that it outlives both windows.
    QtUiServices ui;
    auto window = std::make_unique<TForm1>(ui, CreateWebEngineBrowser(nullptr), QCoreApplication::applicationDirPath(),
                                           QDir::currentPath());
    Form1 = window.get();
    editf = new Teditf(*Form1, ui, Form1);  // owned by the main window, hidden until asked for
    editf->hide();
    Form1->editf = editf;
    Form1->show();
    const int code = app.exec();
    editf = nullptr;
    Form1 = nullptr;
    return code;
}
