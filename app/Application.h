#pragma once
// What the program sets on the application before its first window.
namespace tegaro {

// The application title "Tegaro" and the window font. No display name is
// set: the platform would add it to every window title.
void setupApplication();

// The window font "ＭＳ Ｐゴシック", 12 px. Where that family is missing it is
// mapped to an installed Japanese gothic, so no text shows as boxes.
void setupApplicationFont();

} // namespace tegaro
