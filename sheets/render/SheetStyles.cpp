#include "sheets/render/SheetStyles.h"

#include "sheets/render/FontFamilies.h"

#include <cmath>

namespace tegaro::sheets {

BorderLook borderLook(int style)
{
    switch (style) {
    case 1: return {1, false, {}};                  // thin
    case 2: return {2, false, {}};                  // medium
    case 3: return {1, false, {3, 1}};              // dashed
    case 4: return {1, false, {1, 1}};              // dotted
    case 5: return {3, false, {}};                  // thick
    case 6: return {3, true, {}};                   // double
    case 7: return {1, false, {1, 2}};              // hair
    case 8: return {2, false, {9, 3}};              // medium dashed
    case 9: return {1, false, {9, 3, 3, 3}};        // dash dot
    case 10: return {2, false, {9, 3, 3, 3}};       // medium dash dot
    case 11: return {1, false, {9, 3, 3, 3, 3, 3}}; // dash dot dot
    case 12: return {2, false, {9, 3, 3, 3, 3, 3}}; // medium dash dot dot
    case 13: return {2, false, {11, 1, 5, 1}};      // slanted dash dot
    default: return {};
    }
}

int borderRank(int style)
{
    static const int rank[14] = {0, 6, 11, 5, 2, 12, 13, 1, 10, 4, 9, 3, 7, 8};
    return style >= 0 && style < 14 ? rank[style] : 0;
}

const std::array<quint8, 8>& fillPattern(int pattern)
{
    static const std::array<quint8, 8> patterns[19] = {
        {0, 0, 0, 0, 0, 0, 0, 0},                         // 0 none
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, // 1 solid
        {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}, // 2 50% grey
        {0xEE, 0xBB, 0xEE, 0xBB, 0xEE, 0xBB, 0xEE, 0xBB}, // 3 75% grey
        {0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22}, // 4 25% grey
        {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}, // 5 horizontal stripes
        {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}, // 6 vertical stripes
        {0xCC, 0x66, 0x33, 0x99, 0xCC, 0x66, 0x33, 0x99}, // 7 reverse diagonal stripes
        {0x33, 0x66, 0xCC, 0x99, 0x33, 0x66, 0xCC, 0x99}, // 8 diagonal stripes
        {0x99, 0x66, 0x66, 0x99, 0x99, 0x66, 0x66, 0x99}, // 9 diagonal crosshatch
        {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99}, // 10 thick diagonal crosshatch
        {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}, // 11 thin horizontal stripes
        {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88}, // 12 thin vertical stripes
        {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11}, // 13 thin reverse diagonal
        {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88}, // 14 thin diagonal
        {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88}, // 15 thin crosshatch
        {0x99, 0x66, 0x66, 0x99, 0x99, 0x66, 0x66, 0x99}, // 16 thin diagonal crosshatch
        {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00}, // 17 12.5% grey
        {0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00}, // 18 6.25% grey
    };
    return patterns[pattern >= 0 && pattern <= 18 ? pattern : 0];
}

SheetStyles::SheetStyles(const Workbook& book, double scale, int dpi)
    : book_(book), scale_(scale), dpi_(dpi), unit_(std::max(1, int(std::lround(scale)))),
      reference_(1, 1, QImage::Format_RGB32)
{
    // laid-out text is made at the screen's resolution
    screen_ = std::abs(dpi - QFontMetricsF(QFont()).fontDpi()) < 0.5;
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    reference_.setDotsPerMeterX(dotsPerMeter);
    reference_.setDotsPerMeterY(dotsPerMeter);
}

SheetStyles::Made& SheetStyles::made(int index)
{
    index = std::clamp(index, 0, int(std::max<qsizetype>(book_.fonts.size(), 1)) - 1);
    if (fonts_.size() <= size_t(index))
        fonts_.resize(size_t(index) + 1);
    auto& slot = fonts_[size_t(index)];
    if (!slot) {
        slot = std::make_unique<Made>();
        const Font& f = book_.font(index);
        slot->font = qtFont(f, f.height / 15.0 * scale_, dpi_);
        slot->metrics = std::make_unique<QFontMetricsF>(slot->font, &reference_);
    }
    return *slot;
}

const QFont& SheetStyles::font(int index) { return made(index).font; }
const QFontMetricsF& SheetStyles::metrics(int index) { return *made(index).metrics; }

QFont SheetStyles::scaledFont(int index, double factor) const
{
    const Font& f = book_.font(index);
    return qtFont(f, f.height / 15.0 * scale_ * factor, dpi_);
}

SheetStyles::Shaped& SheetStyles::shaped(int font, const QString& text)
{
    if (shaped_.size() > 20000)
        shaped_.clear(); // a sheet scrolled far: start again rather than grow
    return shaped_[{font, text}];
}

bool SheetStyles::unreadable(int font)
{
    return pixelSize(font) < 4.0;
}

qreal SheetStyles::textWidth(int font, const QString& text)
{
    if (unreadable(font))
        return text.size() * pixelSize(font) * 0.6; // about a digit's width a character
    Shaped& s = shaped(font, text);
    if (s.width < 0)
        s.width = metrics(font).horizontalAdvance(text);
    return s.width;
}

const QStaticText* SheetStyles::shapedText(int font, const QString& text)
{
    if (!screen_)
        return nullptr;
    Shaped& s = shaped(font, text);
    if (!s.painted) {
        s.painted = true;
        return nullptr;
    }
    if (!s.text) {
        s.text.emplace(text);
        s.text->setTextFormat(Qt::PlainText);
        s.text->setPerformanceHint(QStaticText::AggressiveCaching);
        s.text->prepare(QTransform(), this->font(font));
    }
    return &*s.text;
}

QColor SheetStyles::color(int index, QColor automatic) const
{
    // the first eight and those after the palette are the system's own
    // colours (window text, background ...)
    if (!isPaletteColor(index))
        return index == kBackgroundColor ? QColor(Qt::white) : automatic;
    return QColor::fromRgb(book_.color(index));
}

QColor SheetStyles::fontColor(int fontIndex) const
{
    return color(book_.font(fontIndex).color);
}

QBrush SheetStyles::fill(const CellFormat& f)
{
    if (f.pattern == 0)
        return Qt::NoBrush;
    const QColor fore = color(f.patternColor, Qt::black);
    if (f.pattern == 1)
        return fore;
    const QColor back = color(f.backgroundColor, Qt::white);
    const quint64 key = (quint64(f.pattern) << 48) | (quint64(fore.rgb() & 0xFFFFFF) << 24) | (back.rgb() & 0xFFFFFF);
    auto it = fills_.constFind(key);
    if (it != fills_.constEnd())
        return *it;
    // the pattern keeps its size on paper: one bit a screen pixel
    const int px = unit_;
    QImage tile(8 * px, 8 * px, QImage::Format_RGB32);
    const auto& bits = fillPattern(f.pattern);
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x)
            tile.setPixel(x, y, (bits[size_t(y / px)] >> (7 - x / px)) & 1 ? fore.rgb() : back.rgb());
    const QBrush brush(tile);
    fills_.insert(key, brush);
    return brush;
}

} // namespace tegaro::sheets
