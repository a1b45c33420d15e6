#include "sheets/render/Headings.h"

#include "sheets/render/FontFamilies.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

const QColor kBar(0xEF, 0xEF, 0xEF);
const QColor kMarked(0xD6, 0xD6, 0xD6);
const QColor kLine(0xBD, 0xBD, 0xBD);
const QColor kText(0x33, 0x33, 0x33);

} // namespace

Headings::Headings(const Workbook& book, const SheetGeometry& geometry, int dpi)
    : geo_(geometry), unit_(std::max(1, int(std::lround(geometry.scale()))))
{
    const Font& f = book.font(0);
    font_ = qtFont(f, f.height / 15.0 * geometry.scale(), dpi);
}

int Headings::columnBarHeight() const
{
    return std::max(geo_.defaultRowHeight(), int(std::lround(18 * geo_.scale())));
}

int Headings::rowBarWidth(int lastRow) const
{
    const int digits = std::max(3, int(QString::number(lastRow + 1).size()));
    return int(std::lround((digits * geo_.digitWidth() + 10) * geo_.scale()));
}

void Headings::paintBox(QPainter& p, const QRect& r, const QString& text, bool marked) const
{
    p.fillRect(r, marked ? kMarked : kBar);
    // lines on the right and bottom, like the gridlines they continue
    p.fillRect(QRect(r.right() - unit_ + 1, r.top(), unit_, r.height()), kLine);
    p.fillRect(QRect(r.left(), r.bottom() - unit_ + 1, r.width(), unit_), kLine);
    if (!text.isEmpty() && r.width() > unit_ * 2) {
        p.setFont(font_);
        p.setPen(kText);
        p.drawText(r.adjusted(0, 0, -unit_, -unit_), Qt::AlignCenter, text);
    }
}

void Headings::paintColumns(QPainter& p, int first, int last, QPoint origin, int height, std::pair<int, int> marked) const
{
    const int left = geo_.columnX(first);
    for (int c = first; c <= last; ++c) {
        const int w = geo_.columnWidth(c);
        if (w == 0)
            continue;
        const QRect r(origin.x() + geo_.columnX(c) - left, origin.y(), w, height);
        paintBox(p, r, columnName(c), c >= marked.first && c <= marked.second);
    }
}

void Headings::paintRows(QPainter& p, int first, int last, QPoint origin, int width, std::pair<int, int> marked) const
{
    const int top = geo_.rowY(first);
    for (int r = first; r <= last; ++r) {
        const int h = geo_.rowHeight(r);
        if (h == 0)
            continue;
        const QRect box(origin.x(), origin.y() + geo_.rowY(r) - top, width, h);
        paintBox(p, box, QString::number(r + 1), r >= marked.first && r <= marked.second);
    }
}

void Headings::paintCorner(QPainter& p, const QRect& rect) const
{
    paintBox(p, rect, {}, false);
}

} // namespace tegaro::sheets
