#include "sheets/render/SheetPainter.h"

#include <QTextLayout>

#include <cmath>

namespace tegaro::sheets {

// The format index of every cell of a block and of the ring of cells
// around it, looked up once: fills, borders and texts all ask for them.
class SheetPainter::Formats {
public:
    Formats(const Sheet& sheet, const MergeIndex& merges, const Range& block)
        : ring_{std::max(block.firstRow - 1, 0), std::min(block.lastRow + 1, kMaxRows - 1),
                std::max(block.firstCol - 1, 0), std::min(block.lastCol + 1, kMaxColumns - 1)},
          cols_(ring_.lastCol - ring_.firstCol + 1),
          xf_(size_t(cols_) * size_t(ring_.lastRow - ring_.firstRow + 1), kDefaultFormat)
    {
        std::vector<int> columnXf(size_t(cols_), kDefaultFormat);
        for (const ColumnInfo& info : sheet.columns)
            for (int c = std::max(info.first, ring_.firstCol); c <= std::min(info.last, ring_.lastCol); ++c)
                columnXf[size_t(c - ring_.firstCol)] = info.xf;
        const auto& cells = sheet.cells();
        for (int r = ring_.firstRow; r <= ring_.lastRow; ++r) {
            int* line = &xf_[size_t(r - ring_.firstRow) * size_t(cols_)];
            auto row = sheet.rows.find(r);
            if (row != sheet.rows.end() && row->second.hasFormat())
                std::fill(line, line + cols_, row->second.format());
            else
                std::copy(columnXf.begin(), columnXf.end(), line);
            for (auto it = cells.lower_bound(Sheet::key(r, ring_.firstCol));
                 it != cells.end() && it->first <= Sheet::key(r, ring_.lastCol); ++it)
                line[Sheet::colOf(it->first) - ring_.firstCol] = it->second.xf;
        }
        // cells of a merged area without a record of their own look like its first cell
        for (const Range& m : merges.within(ring_)) {
            const Cell* anchor = sheet.cell(m.firstRow, m.firstCol);
            if (!anchor)
                continue;
            for (int r = std::max(m.firstRow, ring_.firstRow); r <= std::min(m.lastRow, ring_.lastRow); ++r)
                for (int c = std::max(m.firstCol, ring_.firstCol); c <= std::min(m.lastCol, ring_.lastCol); ++c)
                    if (!sheet.cell(r, c))
                        xf_[index(r, c)] = anchor->xf;
        }
    }

    int at(int row, int col) const
    {
        if (row < ring_.firstRow || row > ring_.lastRow || col < ring_.firstCol || col > ring_.lastCol)
            return kDefaultFormat;
        return xf_[index(row, col)];
    }

private:
    size_t index(int row, int col) const
    {
        return size_t(row - ring_.firstRow) * size_t(cols_) + size_t(col - ring_.firstCol);
    }
    Range ring_;
    int cols_;
    std::vector<int> xf_;
};

namespace {

// One edge's border: the heavier of the two cells' sides that meet there.
Border stronger(const Border& a, const Border& b)
{
    return borderRank(b.style) > borderRank(a.style) ? b : a;
}

bool sameArea(const MergeIndex& merges, int r1, int c1, int r2, int c2)
{
    const Range* a = merges.at(r1, c1);
    return a && a->contains(r2, c2);
}

} // namespace

QColor gridColorOf(const Workbook& book, const Sheet& sheet)
{
    if (sheet.view.automaticGridColor() || !isPaletteColor(sheet.view.gridColor))
        return PaintOptions().gridColor;
    return QColor::fromRgb(book.color(sheet.view.gridColor));
}

SheetPainter::SheetPainter(const Workbook& book, int sheet, const SheetGeometry& geometry, const MergeIndex& merges,
                           SheetStyles& styles)
    : book_(book), sheet_(sheet), geo_(geometry), merges_(merges), styles_(styles),
      texts_(book, sheet, geometry, merges, styles)
{
}

QRect SheetPainter::blockRect(const Range& block, QPoint origin) const
{
    return cellRect(block, origin - QPoint(geo_.columnX(block.firstCol), geo_.rowY(block.firstRow)));
}

QRect SheetPainter::cellRect(const Range& area, QPoint base) const
{
    const int x = geo_.columnX(area.firstCol), y = geo_.rowY(area.firstRow);
    return QRect(base.x() + x, base.y() + y, geo_.columnX(area.lastCol + 1) - x, geo_.rowY(area.lastRow + 1) - y);
}

void SheetPainter::paint(QPainter& p, const Range& block, QPoint origin, const PaintOptions& options) const
{
    const QRect area = blockRect(block, origin);
    if (area.isEmpty())
        return;
    const QPoint base = origin - QPoint(geo_.columnX(block.firstCol), geo_.rowY(block.firstRow));
    const Sheet& sheet = book_.sheets[sheet_];
    p.save();
    p.setClipRect(area, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (options.background.isValid())
        p.fillRect(area, options.background);
    const Formats formats(sheet, merges_, block);
    const QList<TextItem> texts = texts_.layout(block);
    if (options.gridlines)
        paintGridlines(p, block, texts, base, options);
    paintFills(p, block, formats, base);
    for (const TextItem& t : texts)
        paintText(p, t, base, area);
    paintBorders(p, block, formats, base);
    p.restore();
}

void SheetPainter::paintGridlines(QPainter& p, const Range& block, const QList<TextItem>& texts, QPoint base,
                                  const PaintOptions& options) const
{
    // Edges with no line: inside merged areas, and where a text runs on.
    const int cols = block.lastCol - block.firstCol + 1;
    std::vector<quint8> hide(size_t(block.lastRow - block.firstRow + 1) * size_t(cols), 0); // 1 right, 2 bottom
    auto at = [&](int r, int c) -> quint8& {
        return hide[size_t(r - block.firstRow) * size_t(cols) + size_t(c - block.firstCol)];
    };
    auto mark = [&](int r, int c, quint8 bit) {
        if (r >= block.firstRow && r <= block.lastRow && c >= block.firstCol && c <= block.lastCol)
            at(r, c) |= bit;
    };
    for (const Range& m : merges_.within(block))
        for (int r = std::max(m.firstRow, block.firstRow); r <= std::min(m.lastRow, block.lastRow); ++r)
            for (int c = std::max(m.firstCol, block.firstCol); c <= std::min(m.lastCol, block.lastCol); ++c)
                mark(r, c, quint8((c < m.lastCol ? 1 : 0) | (r < m.lastRow ? 2 : 0)));
    for (const TextItem& t : texts)
        if (t.area.firstRow == t.area.lastRow)
            for (int c = t.firstCol; c < t.lastCol; ++c)
                mark(t.row, c, 1);

    // Calls `draw` for each run of places first..last where `shown` holds.
    auto runs = [](int first, int last, auto shown, auto draw) {
        for (int i = first; i <= last;) {
            while (i <= last && !shown(i))
                ++i;
            const int from = i;
            while (i <= last && shown(i))
                ++i;
            if (i > from)
                draw(from, i);
        }
    };
    const int u = styles_.unit();
    for (int c = block.firstCol; c <= block.lastCol; ++c) {
        if (geo_.columnWidth(c) == 0)
            continue;
        const int x = base.x() + geo_.columnX(c + 1) - u;
        runs(
            block.firstRow, block.lastRow, [&](int r) { return !(at(r, c) & 1); }, [&](int from, int to) { p.fillRect(QRect(x, base.y() + geo_.rowY(from), u, geo_.rowY(to) - geo_.rowY(from)), options.gridColor); });
    }
    for (int r = block.firstRow; r <= block.lastRow; ++r) {
        if (geo_.rowHeight(r) == 0)
            continue;
        const int y = base.y() + geo_.rowY(r + 1) - u;
        runs(
            block.firstCol, block.lastCol, [&](int c) { return !(at(r, c) & 2); }, [&](int from, int to) { p.fillRect(QRect(base.x() + geo_.columnX(from), y, geo_.columnX(to) - geo_.columnX(from), u),
                                                                                                                      options.gridColor); });
    }
}

void SheetPainter::paintFills(QPainter& p, const Range& block, const Formats& formats, QPoint base) const
{
    const int u = styles_.unit();
    p.setBrushOrigin(base); // patterns line up across the whole sheet
    auto fillArea = [&](const Range& area, int xf) {
        const CellFormat& f = book_.format(xf);
        if (f.pattern == 0)
            return;
        const QBrush brush = styles_.fill(f);
        // a fill covers its cell's gridlines on all four sides
        p.fillRect(cellRect(area, base).adjusted(-u, -u, -u, -u), brush);
    };
    for (int r = block.firstRow; r <= block.lastRow; ++r) {
        if (geo_.rowHeight(r) == 0)
            continue;
        for (int c = block.firstCol; c <= block.lastCol; ++c)
            if (geo_.columnWidth(c) > 0 && book_.format(formats.at(r, c)).pattern != 0 && !merges_.at(r, c))
                fillArea({r, r, c, c}, formats.at(r, c));
    }
    for (const Range& m : merges_.within(block)) {
        const Cell* anchor = book_.sheets[sheet_].cell(m.firstRow, m.firstCol);
        fillArea(m, anchor ? anchor->xf : book_.sheets[sheet_].xfAt(m.firstRow, m.firstCol));
    }
}

namespace {

// Draws one line of a cell's text at a baseline, with the font runs of a
// rich text when it has them.
void drawLine(QPainter& p, SheetStyles& styles, const TextItem& t, const QFont& font, QPointF at)
{
    if (t.cell->runs.isEmpty() || shownKind(*t.cell) != CellKind::Text || t.text != t.cell->text) {
        p.setFont(font);
        p.setPen(t.color);
        const QStaticText* shaped = font == styles.font(t.font) ? styles.shapedText(t.font, t.text) : nullptr;
        if (shaped)
            p.drawStaticText(QPointF(at.x(), at.y() - styles.metrics(t.font).ascent()), *shaped);
        else
            p.drawText(at, t.text);
        return;
    }
    QTextLayout layout(t.text, font, p.device());
    QList<QTextLayout::FormatRange> ranges;
    const QList<RichRun>& runs = t.cell->runs;
    for (int i = 0; i < runs.size(); ++i) {
        const int start = runs[i].first;
        const int end = i + 1 < runs.size() ? runs[i + 1].first : int(t.text.size());
        if (start >= end || start >= t.text.size())
            continue;
        QTextCharFormat f;
        f.setFont(styles.font(runs[i].font));
        f.setForeground(styles.fontColor(runs[i].font));
        ranges.append({start, end - start, f});
    }
    layout.setFormats(ranges);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    p.setPen(t.color);
    layout.draw(&p, QPointF(at.x(), at.y() - line.ascent()));
}

} // namespace

void SheetPainter::paintText(QPainter& p, const TextItem& t, QPoint base, const QRect& clip) const
{
    if (t.text.isEmpty())
        return;
    const int u = styles_.unit();
    const int pad = texts_.padding();
    // the area without its gridlines, and the columns the text may cover
    const QRect area = cellRect(t.area, base).adjusted(0, 0, -u, -u);
    const QRect span = cellRect({t.area.firstRow, t.area.lastRow, t.firstCol, t.lastCol}, base).adjusted(0, 0, -u, -u);
    if (area.width() <= 0 || area.height() <= 0)
        return;
    p.save();
    p.setClipRect(span.intersected(clip), Qt::IntersectClip);

    QFont font = styles_.font(t.font);
    QFontMetricsF m = styles_.metrics(t.font);
    if (styles_.unreadable(t.font)) {
        // too small to read: a line the length of the text, as its ink;
        // spaces leave no ink
        if (t.text.trimmed().isEmpty()) {
            p.restore();
            return;
        }
        const qreal width = std::min<qreal>(styles_.textWidth(t.font, t.text), span.width());
        QColor ink = t.color;
        ink.setAlphaF(0.5);
        const qreal x = t.hAlign == 3 ? area.left() + area.width() - pad - width
            : t.hAlign == 2           ? area.left() + (area.width() - width) / 2
                                      : area.left() + pad;
        p.fillRect(QRectF(x, area.top() + (area.height() - 1) / 2, width, 1), ink); // on a whole pixel row, even in a row one pixel high
        p.restore();
        return;
    }
    const qreal left = area.left() + pad + (t.hAlign == 1 ? t.indent : 0);
    const qreal right = area.left() + area.width() - pad - (t.hAlign == 3 ? t.indent : 0);
    const qreal room = std::max<qreal>(right - left, 1);
    auto lineX = [&](qreal width) {
        switch (t.hAlign) {
        case 3: return right - width;
        case 2:
        case 7: return (area.left() + area.left() + area.width()) / 2.0 - width / 2;
        default: return left;
        }
    };
    auto blockY = [&](qreal height) {
        const qreal top = area.top() + u, bottom = area.top() + area.height() - u;
        switch (t.vAlign) {
        case 0:
        case 3:
        case 4: return top;
        case 1: return (top + bottom) / 2 - height / 2;
        default: return bottom - height;
        }
    };

    if (t.rotation == 255) {
        // stacked: one character under another
        const qreal lineHeight = m.height();
        const qreal height = lineHeight * t.text.size();
        qreal y = blockY(height);
        p.setFont(font);
        p.setPen(t.color);
        for (QChar ch : t.text) {
            p.drawText(QPointF(lineX(m.horizontalAdvance(ch)), y + m.ascent()), QString(ch));
            y += lineHeight;
        }
    } else if (t.rotation != 0) {
        const qreal width = m.horizontalAdvance(t.text), height = m.ascent() + m.descent();
        const qreal a = qDegreesToRadians(qreal(t.rotation));
        const qreal boxW = std::abs(width * std::cos(a)) + std::abs(height * std::sin(a));
        const qreal boxH = std::abs(width * std::sin(a)) + std::abs(height * std::cos(a));
        const QPointF centre(lineX(boxW) + boxW / 2, blockY(boxH) + boxH / 2);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(centre);
        p.rotate(-t.rotation);
        p.setFont(font);
        p.setPen(t.color);
        p.drawText(QPointF(-width / 2, -height / 2 + m.ascent()), t.text);
    } else if (t.wrap) {
        QTextLayout layout(t.text, font, p.device());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal height = 0;
        QList<QTextLine> lines;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(room);
            line.setPosition(QPointF(0, height));
            height += line.height();
            lines << line;
        }
        layout.endLayout();
        const qreal top = blockY(height);
        p.setPen(t.color);
        for (QTextLine& line : lines) {
            const qreal x = lineX(line.naturalTextWidth());
            line.draw(&p, QPointF(x, top));
        }
    } else {
        qreal width = styles_.textWidth(t.font, t.text);
        if (t.shrink && width > room) {
            font = styles_.scaledFont(t.font, room / width);
            m = QFontMetricsF(font, p.device());
            width = m.horizontalAdvance(t.text);
        }
        const qreal height = m.ascent() + m.descent();
        drawLine(p, styles_, t, font, QPointF(lineX(width), blockY(height) + m.ascent()));
    }
    p.restore();
}

void SheetPainter::paintEdge(QPainter& p, const Border& border, QPointF from, QPointF to) const
{
    // a screen shows the hair line as dots; paper takes it as the finest
    // solid line
    const bool hairOnPaper = border.style == 7 && styles_.dpi() > 2 * 96;
    const BorderLook look = hairOnPaper ? BorderLook{1, false, {}} : borderLook(border.style);
    if (look.weight == 0)
        return;
    const QColor color = styles_.color(border.color);
    const int u = styles_.unit();
    const qreal w = hairOnPaper ? std::max(1, u / 2) : look.weight * u;
    const bool vertical = from.x() == to.x();
    // lines run on by half their weight so that corners close
    const QPointF along = vertical ? QPointF(0, w / 2) : QPointF(w / 2, 0);
    const QPointF across = vertical ? QPointF(1, 0) : QPointF(0, 1);
    auto bar = [&](qreal offset, qreal weight) {
        const QPointF a = from - along + across * (offset - weight / 2);
        const QPointF b = to + along + across * (offset + weight / 2);
        p.fillRect(QRectF(a, b).normalized().toAlignedRect(), color);
    };
    if (look.twoLines) {
        bar(-u, u);
        bar(u, u);
    } else if (look.dashes.isEmpty()) {
        bar(0, w);
    } else {
        QPen pen(color, w, Qt::CustomDashLine, Qt::FlatCap);
        QList<qreal> dashes;
        for (qreal d : look.dashes)
            dashes << d / look.weight;
        pen.setDashPattern(dashes);
        p.setPen(pen);
        p.drawLine(from, to);
    }
}

void SheetPainter::paintBorders(QPainter& p, const Range& block, const Formats& formats, QPoint base) const
{
    const qreal half = styles_.unit() / 2.0;
    // a line lies on the middle of the gridline it replaces
    auto xAt = [&](int col) { return base.x() + geo_.columnX(col) - half; };
    auto yAt = [&](int row) { return base.y() + geo_.rowY(row) - half; };
    for (int r = block.firstRow - 1; r <= block.lastRow; ++r) {
        if (r >= 0 && geo_.rowHeight(r) == 0)
            continue;
        for (int c = block.firstCol - 1; c <= block.lastCol; ++c) {
            if (c >= 0 && geo_.columnWidth(c) == 0)
                continue;
            const CellFormat& here = book_.format(r >= 0 && c >= 0 ? formats.at(r, c) : kDefaultFormat);
            // right edge of (r, c), on rows of the block
            if (r >= block.firstRow && c + 1 < kMaxColumns && !(c >= 0 && sameArea(merges_, r, c, r, c + 1))) {
                const Border b = stronger(c >= 0 ? here.right : Border{}, book_.format(formats.at(r, c + 1)).left);
                if (b.style)
                    paintEdge(p, b, QPointF(xAt(c + 1), yAt(r)), QPointF(xAt(c + 1), yAt(r + 1)));
            }
            // bottom edge of (r, c), on columns of the block
            if (c >= block.firstCol && r + 1 < kMaxRows && !(r >= 0 && sameArea(merges_, r, c, r + 1, c))) {
                const Border b = stronger(r >= 0 ? here.bottom : Border{}, book_.format(formats.at(r + 1, c)).top);
                if (b.style)
                    paintEdge(p, b, QPointF(xAt(c), yAt(r + 1)), QPointF(xAt(c + 1), yAt(r + 1)));
            }
        }
    }
    // diagonal lines across a cell or a merged area
    auto diagonals = [&](const Range& area, const CellFormat& f) {
        if (!f.diagonalLines || !f.diagonal.style)
            return;
        const QRectF r(QPointF(xAt(area.firstCol), yAt(area.firstRow)), QPointF(xAt(area.lastCol + 1), yAt(area.lastRow + 1)));
        QPen pen(styles_.color(f.diagonal.color), borderLook(f.diagonal.style).weight * styles_.unit());
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen);
        if (f.diagonalLines & 1)
            p.drawLine(r.topLeft(), r.bottomRight());
        if (f.diagonalLines & 2)
            p.drawLine(r.bottomLeft(), r.topRight());
        p.restore();
    };
    for (int r = block.firstRow; r <= block.lastRow; ++r)
        for (int c = block.firstCol; c <= block.lastCol; ++c)
            if (const CellFormat& f = book_.format(formats.at(r, c)); f.diagonalLines && !merges_.at(r, c))
                diagonals({r, r, c, c}, f);
    for (const Range& m : merges_.within(block))
        diagonals(m, book_.format(book_.sheets[sheet_].xfAt(m.firstRow, m.firstCol)));
}

} // namespace tegaro::sheets
