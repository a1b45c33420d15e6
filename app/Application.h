#pragma once
// What the program sets on the application before its first window.
namespace tegaro {

// The application title "Tegaro", the window font and Qt's Japanese texts. No display name is
// set: the platform would add it to every window title.
void setupApplication();

// Qt's own dialogs and buttons (print, preview, file dialogs, the standard
// buttons) in Japanese, from Qt's translations; false where they are not
// installed, and they stay English.
bool loadQtTranslations();

// The window font "ＭＳ Ｐゴシック", 12 px. Where that family is missing it is
// mapped to an installed Japanese gothic, so no text shows as boxes.
void setupApplicationFont();

} // namespace tegaro
