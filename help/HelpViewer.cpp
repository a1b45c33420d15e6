#include "help/HelpViewer.h"

#include "core/HtmlHelp.h"
#include "help/HelpWindow.h"

#include <QCoreApplication>
#include <QPointer>

namespace tegaro {

namespace {

QPointer<HelpWindow> window;

HelpWindow* theWindow()
{
    if (!window) {
        // No parent: the help window lives beside the main window, not on it.
        window = new HelpWindow;
        // Deleted while the application still exists; a deferred delete
        // would no longer run once the loop has ended.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.data(), [] { delete window; });
    }
    return window;
}

void showHelp(QWidget* /*owner*/, const QString& file, unsigned command, quintptr data)
{
    // Without the reader the help commands do nothing, as without a viewer.
    if (!helpReaderAvailable())
        return;
    if (command != HH_DISPLAY_TOC && command != HH_HELP_CONTEXT)
        return;
    HelpWindow* w = theWindow();
    w->openFile(file);
    if (command == HH_HELP_CONTEXT)
        w->showContext(quint32(data));
    else
        w->showDefaultTopic();
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

void installHelpViewer() { setHtmlHelpImpl(&showHelp); }

HelpWindow* helpWindow() { return window; }

} // namespace tegaro
