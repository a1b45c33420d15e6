#pragma once
// The help entry point. Callers only know this function; the help viewer
// registers itself as the implementation when it is linked in. Without one,
// a help command does nothing and reports nothing.
#include <QString>
#include <QtGlobal>

class QWidget;

constexpr unsigned HH_DISPLAY_TOC = 0x0001;
constexpr unsigned HH_HELP_CONTEXT = 0x000F;

using HtmlHelpImpl = void (*)(QWidget* owner, const QString& file, unsigned command, quintptr data);

void HtmlHelpA(QWidget* owner, const QString& file, unsigned command, quintptr data);

namespace tegaro {
void setHtmlHelpImpl(HtmlHelpImpl impl);

// The application's help file name ("Application.HelpFile").
void setApplicationHelpFile(const QString& path);
QString applicationHelpFile();
// The executable's folder followed by "muneya2005.CHM".
QString defaultHelpFilePath();
} // namespace tegaro
