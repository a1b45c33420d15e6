#pragma once
namespace tegaro {
// The window font "ＭＳ Ｐゴシック", 12 px. Where that family is missing it is
// mapped to an installed Japanese gothic, so no text shows as boxes.
void setupApplicationFont();
} // namespace tegaro
