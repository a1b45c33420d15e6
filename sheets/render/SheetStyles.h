#pragma once
// Qt fonts, colours, fills and border looks for a workbook's formats at one
// scale, made once and kept while a sheet is painted.
#include "sheets/model/Workbook.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QStaticText>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tegaro::sheets {

// How one of the thirteen border styles is drawn: its weight in lines of
// one pixel (at 100%), whether it is two lines, and its dashes in pixels.
struct BorderLook {
    int weight = 0;
    bool twoLines = false;
    QList<qreal> dashes; // on, off, ...; empty for a solid line
};
BorderLook borderLook(int style);
// Of two borders on one edge the higher rank shows.
int borderRank(int style);

// The eighteen fill patterns as 8x8 bit masks, one byte a row.
const std::array<quint8, 8>& fillPattern(int pattern);

class SheetStyles {
public:
    // `scale` as for SheetGeometry; `dpi` of the device painted on.
    SheetStyles(const Workbook& book, double scale, int dpi);

    const Workbook& book() const { return book_; }
    double scale() const { return scale_; }
    int dpi() const { return dpi_; }

    // The font of a font record at the scale, and its metrics on the device.
    const QFont& font(int index);
    const QFontMetricsF& metrics(int index);
    // A font `factor` times the size (shrink to fit); not kept.
    QFont scaledFont(int index, double factor) const;

    // A palette colour; `automatic` for the automatic indices.
    QColor color(int index, QColor automatic = Qt::black) const;
    QColor fontColor(int fontIndex) const;
    // The fill of a format, or Qt::NoBrush.
    QBrush fill(const CellFormat& format);

    // The width of a text in a font, and the text laid out for drawing
    // (nullptr where laid-out text would not match the device: print).
    // Both are kept, so a screen painted again shapes no text twice. A text
    // is laid out for keeps only when painted a second time: a screen seen
    // once while paging through costs no more than plain drawing.
    qreal textWidth(int font, const QString& text);
    // Whether a font is too small to read at this scale: its texts are
    // drawn as lines, their widths guessed rather than measured.
    bool unreadable(int font);
    qreal pixelSize(int font) { return this->font(font).pointSizeF() * dpi_ / 72.0; }
    const QStaticText* shapedText(int font, const QString& text);

    // One pixel at 100% in device pixels, at least one.
    int unit() const { return unit_; }

private:
    struct Made {
        QFont font;
        std::unique_ptr<QFontMetricsF> metrics;
    };
    Made& made(int index);

    const Workbook& book_;
    double scale_;
    int dpi_;
    int unit_;
    QImage reference_; // a device of the same resolution, for measuring
    std::vector<std::unique_ptr<Made>> fonts_;
    QHash<quint64, QBrush> fills_;
    struct Shaped {
        qreal width = -1;
        bool painted = false; // once before: laid out for good the second time
        std::optional<QStaticText> text;
    };
    Shaped& shaped(int font, const QString& text);
    QHash<std::pair<int, QString>, Shaped> shaped_;
    bool screen_ = false; // laid-out text fits the device
};

} // namespace tegaro::sheets
