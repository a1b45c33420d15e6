#pragma once
// Makes HtmlHelpA show the program's help window. Call once at start-up.
#include "help/ChmArchive.h"

namespace tegaro {

class HelpWindow;

void installHelpViewer();
// The help window once a help command has opened it, else nullptr.
HelpWindow* helpWindow();

} // namespace tegaro
