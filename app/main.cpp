// Start-up: the splash first, then the application, the main window and
// the connection settings dialog; then the message loop.
#include "app/Application.h"
#include "app/Splash.h"
#include "app/TForm1.h"
#include "db/login/TSQLLogin.h"
#include "help/HelpViewer.h"

#include <QApplication>
#include <QPointer>
#include <QWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    tegaro::setupApplication();
    tegaro::installHelpViewer();

    QPointer<tegaro::TForm2> splash = new tegaro::TForm2;
    splash->showAndPaint();

    tegaro::TForm1 main(QApplication::arguments().mid(1));
    // Made once, hidden: its fields keep their values from one connect to the next.
    tegaro::TSQLLogin login(&main);
    login.setObjectName(QStringLiteral("TSQLLogin"));
    main.setLoginDialog(&login);

    // The splash goes once it has lost activation to the main window; the
    // release is deferred to the loop.
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, &app, [splash](QWindow* window) {
        if (splash && (!window || window != splash->windowHandle()))
            splash->deleteLater();
    });
    main.show();
    main.activateWindow();
    return app.exec();
}
