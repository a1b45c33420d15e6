#include "sheets/render/CellTexts.h"

#include "sheets/numfmt/NumberFormat.h"

#include <bit>
#include <cmath>

namespace tegaro::sheets {

namespace {

bool isGeneral(const QString& code)
{
    return code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 || code == QStringLiteral("G/標準");
}

// A value that blocks a neighbour's text: anything but an empty cell.
bool holdsValue(const Cell* c)
{
    return c && c->kind != CellKind::Empty;
}

} // namespace

CellKind shownKind(const Cell& cell)
{
    return cell.kind == CellKind::Formula ? cell.result : cell.kind;
}

CellTexts::CellTexts(const Workbook& book, int sheet, const SheetGeometry& geometry, const MergeIndex& merges,
                     SheetStyles& styles)
    : book_(book), sheetIndex_(sheet), geo_(geometry), merges_(merges), styles_(styles)
{
}

int CellTexts::padding() const
{
    return std::max(1, int(std::lround(2 * geo_.scale())));
}

int CellTexts::areaWidth(const Range& area) const
{
    return geo_.columnX(area.lastCol + 1) - geo_.columnX(area.firstCol);
}

TextItem CellTexts::item(int row, int col, const Cell& cell, const Range& area) const
{
    TextItem t;
    t.row = row;
    t.col = col;
    t.area = area;
    t.firstCol = area.firstCol;
    t.lastCol = area.lastCol;
    t.cell = &cell;
    const CellFormat& f = book_.format(cell.xf);
    t.font = f.font;
    t.text = shownText(row, col, cell);
    const CellKind kind = shownKind(cell);
    const QString code = book_.formatCode(f.numberFormat);
    t.color = styles_.fontColor(f.font);
    const int formatColor = kind == CellKind::Number ? numberColor(cell.number, code)
        : kind == CellKind::Text                     ? textColor(code)
                                                     : -1;
    if (formatColor >= 0)
        t.color = styles_.color(formatColor);
    t.hAlign = f.hAlign;
    if (t.hAlign == 0) // General: numbers right, texts left, the rest centred
        t.hAlign = kind == CellKind::Number ? 3 : kind == CellKind::Text ? 1
                                                                         : 2;
    t.vAlign = f.vAlign;
    t.wrap = f.wrap || f.hAlign == 5 || f.vAlign == 3 || f.vAlign == 4;
    t.shrink = f.shrink && !t.wrap;
    t.rotation = f.rotation == 255 ? 255 : f.rotation > 90 ? -(f.rotation - 90)
                                                           : f.rotation;
    const int indentStep = int(std::lround((geo_.digitWidth() + 2) * geo_.scale()));
    t.indent = (t.hAlign == 1 || t.hAlign == 3 || t.hAlign == 7) ? f.indent * indentStep : 0;
    if (kind == CellKind::Number && !t.shrink && t.rotation == 0 && !t.wrap)
        fitNumber(t);
    if (f.hAlign == 4 && !t.text.isEmpty()) {
        // fill: the text again and again across the cell
        const qreal one = styles_.metrics(t.font).horizontalAdvance(t.text);
        const int times = one > 0 ? int((areaWidth(area) - 2 * padding()) / one) : 1;
        t.text = t.text.repeated(std::max(times, 1));
        t.hAlign = 1;
    }
    return t;
}

QString CellTexts::shownText(int row, int col, const Cell& cell) const
{
    if (shownKind(cell) != CellKind::Number)
        return book_.cellText(sheetIndex_, row, col);
    const std::pair key(std::bit_cast<quint64>(cell.number), cell.xf);
    auto it = numberTexts_.constFind(key);
    if (it == numberTexts_.constEnd()) {
        if (numberTexts_.size() > 50000)
            numberTexts_.clear();
        it = numberTexts_.insert(key, book_.cellText(sheetIndex_, row, col));
    }
    return *it;
}

void CellTexts::fitNumber(TextItem& t) const
{
    const qreal room = areaWidth(t.area) - 2 * padding() - t.indent;
    if (styles_.textWidth(t.font, t.text) <= room)
        return;
    const QFontMetricsF& m = styles_.metrics(t.font);
    const QString code = book_.formatCode(book_.format(t.cell->xf).numberFormat);
    if (isGeneral(code)) {
        // General shows fewer digits before it gives up
        for (int chars = int(t.text.size()) - 1; chars >= 1; --chars) {
            const QString shorter = formatGeneral(t.cell->number, chars);
            if (!shorter.isEmpty() && m.horizontalAdvance(shorter) <= room) {
                t.text = shorter;
                return;
            }
        }
    }
    const qreal hash = m.horizontalAdvance(QChar(u'#'));
    t.text = QString(hash > 0 ? std::max(0, int(room / hash)) : 0, u'#');
}

QList<TextItem> CellTexts::layout(const Range& block) const
{
    QList<TextItem> out;
    for (const Range& area : merges_.within(block)) {
        const Cell* c = sheet().cell(area.firstRow, area.firstCol);
        if (holdsValue(c))
            out << item(area.firstRow, area.firstCol, *c, area);
    }
    const auto& cells = sheet().cells();
    const int pad = padding();
    for (int r = block.firstRow; r <= block.lastRow; ++r) {
        if (geo_.rowHeight(r) == 0)
            continue;
        const QList<Range> rowMerges = merges_.within({r, r, 0, kMaxColumns - 1});
        auto merged = [&](int c) {
            for (const Range& m : rowMerges)
                if (m.contains(r, c))
                    return true;
            return false;
        };
        // The row's values from the nearest one left of the block to the
        // nearest one right of it: only those can run on into the block.
        QList<std::pair<int, const Cell*>> values;
        const auto start = cells.lower_bound(Sheet::key(r, block.firstCol));
        for (auto it = start; it != cells.begin();) {
            --it;
            if (Sheet::rowOf(it->first) != r)
                break;
            if (holdsValue(&it->second)) {
                values << std::pair(Sheet::colOf(it->first), &it->second);
                break;
            }
        }
        for (auto it = start; it != cells.end() && Sheet::rowOf(it->first) == r; ++it) {
            if (!holdsValue(&it->second))
                continue;
            values << std::pair(Sheet::colOf(it->first), &it->second);
            if (Sheet::colOf(it->first) > block.lastCol)
                break;
        }
        auto blocked = [&](int c) {
            if (merged(c))
                return true;
            for (const auto& v : values)
                if (v.first == c)
                    return true;
            return false;
        };
        for (const auto& [c, cell] : values) {
            if (merged(c))
                continue;
            TextItem t = item(r, c, *cell, {r, r, c, c});
            if (t.text.isEmpty())
                continue;
            const CellFormat& f = book_.format(cell->xf);
            if (f.hAlign == 6) {
                // centred across the empty cells after it that ask the same
                while (t.lastCol + 1 < kMaxColumns && !blocked(t.lastCol + 1)
                       && book_.format(sheet().xfAt(r, t.lastCol + 1)).hAlign == 6)
                    ++t.lastCol;
                t.area.lastCol = t.lastCol;
                t.hAlign = 2;
            } else if (shownKind(*cell) == CellKind::Text && !t.wrap && !t.shrink && t.rotation == 0
                       && t.hAlign >= 1 && t.hAlign <= 3) {
                const qreal needed = styles_.textWidth(t.font, t.text) + 2 * pad + t.indent;
                const int width = areaWidth(t.area);
                if (needed > width) {
                    // left runs on to the right, right to the left, centre both ways
                    const qreal right = t.hAlign == 1 ? needed - width : t.hAlign == 2 ? (needed - width) / 2
                                                                                       : 0;
                    const qreal left = t.hAlign == 3 ? needed - width : t.hAlign == 2 ? (needed - width) / 2
                                                                                      : 0;
                    for (qreal got = 0; got < right && t.lastCol + 1 < kMaxColumns && !blocked(t.lastCol + 1);)
                        got += geo_.columnWidth(++t.lastCol);
                    for (qreal got = 0; got < left && t.firstCol > 0 && !blocked(t.firstCol - 1);)
                        got += geo_.columnWidth(--t.firstCol);
                }
            }
            if (t.lastCol >= block.firstCol && t.firstCol <= block.lastCol)
                out << t;
        }
    }
    return out;
}

} // namespace tegaro::sheets
