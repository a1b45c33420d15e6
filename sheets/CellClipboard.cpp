#include "sheets/CellClipboard.h"

#include "sheets/SheetErrors.h"
#include "sheets/XlsFile.h"

#include <optional>

namespace tegaro::sheets {

const QString kCellsMimeType = QStringLiteral("application/x-tegaro-cells");

namespace {

// Where our own copies came from: "identity sheet row column" of the book
// and the range's first cell.
const QString kOriginMimeType = QStringLiteral("application/x-tegaro-cells-origin");

struct Origin {
    quint64 identity = 0;
    int sheet = 0, row = 0, col = 0;
};

std::optional<Origin> originOf(const QMimeData& mime)
{
    const QList<QByteArray> parts = mime.data(kOriginMimeType).split(' ');
    if (parts.size() != 4)
        return std::nullopt;
    Origin o;
    bool ok[4];
    o.identity = parts[0].toULongLong(&ok[0]);
    o.sheet = parts[1].toInt(&ok[1]);
    o.row = parts[2].toInt(&ok[2]);
    o.col = parts[3].toInt(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3]) || o.identity == 0)
        return std::nullopt;
    return o;
}

} // namespace

namespace {

// No paste may make more cells than this; a sheet holds far fewer in practice.
constexpr qint64 kMaxPasted = 4'000'000;

} // namespace

QString tabText(const QList<QStringList>& rows)
{
    QString out;
    for (const QStringList& row : rows) {
        QStringList fields;
        for (const QString& f : row) {
            if (f.contains(u'\t') || f.contains(u'\n') || f.contains(u'\r') || f.contains(u'"'))
                fields << u'"' + QString(f).replace(u'"', QStringLiteral("\"\"")) + u'"';
            else
                fields << f;
        }
        out += fields.join(u'\t') + QStringLiteral("\r\n");
    }
    return out;
}

QList<QStringList> parseTabText(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == u'\t') {
            row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            row << field;
            rows << row;
            row.clear();
            field.clear();
            wasQuoted = false;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty() || wasQuoted) {
        row << field;
        rows << row;
    }
    return rows;
}

int importFormat(Workbook& to, const Workbook& from, int xf)
{
    CellFormat f = from.format(xf);
    const Font font = from.font(f.font);
    int fontIndex = int(to.fonts.indexOf(font));
    if (fontIndex < 0) {
        to.fonts << font;
        fontIndex = int(to.fonts.size()) - 1;
    }
    f.font = quint16(fontIndex);
    f.numberFormat = quint16(to.addNumberFormat(from.formatCode(f.numberFormat)));
    f.isStyle = false;
    f.parent = 0;
    return to.addFormat(f);
}

std::unique_ptr<QMimeData> copyCells(const Workbook& book, int sheet, const Range& range, quint64 source)
{
    auto mime = std::make_unique<QMimeData>();
    QList<QStringList> rows;
    Workbook copy;
    copy.fonts = book.fonts;
    copy.formats = book.formats;
    copy.numberFormats = book.numberFormats;
    copy.palette = book.palette;
    copy.styles = book.styles;
    copy.date1904 = book.date1904;
    Sheet& out = copy.sheets[0];
    const Sheet& in = book.sheets[sheet];
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        QStringList row;
        for (int c = range.firstCol; c <= range.lastCol; ++c) {
            row << book.cellText(sheet, r, c);
            if (const Cell* cell = in.cell(r, c))
                out.cellRef(r - range.firstRow, c - range.firstCol) = *cell;
        }
        rows << row;
    }
    mime->setText(tabText(rows));
    mime->setData(kCellsMimeType, writeXls(copy));
    if (source)
        mime->setData(kOriginMimeType, QStringLiteral("%1 %2 %3 %4").arg(source).arg(sheet).arg(range.firstRow).arg(range.firstCol).toLatin1());
    return mime;
}

PasteResult pasteCells(TSheetBook& book, int sheet, const Range& target, const QMimeData& mime, bool moving)
{
    // What the clipboard holds, as cells (our own copies) or as entries.
    std::optional<Workbook> copied;
    QList<QStringList> entries;
    int rows = 0, cols = 0;
    if (mime.hasFormat(kCellsMimeType)) {
        try {
            copied = readXls(mime.data(kCellsMimeType));
        } catch (const ESheetError&) {
            copied.reset(); // damaged: fall back on the text
        }
    }
    // formulas of this workbook move their references with them
    std::optional<Origin> origin = originOf(mime);
    if (moving || !origin || origin->identity != book.identity())
        origin.reset();
    if (copied) {
        const Range used = usedRange(copied->sheets[0]);
        rows = used.lastRow + 1;
        cols = used.lastCol + 1;
    } else if (mime.hasText()) {
        entries = parseTabText(mime.text());
        rows = int(entries.size());
        for (const QStringList& r : entries)
            cols = std::max(cols, int(r.size()));
    }
    PasteResult result;
    if (rows == 0 || cols == 0)
        return result;
    // repeat over the target when it holds the copy a whole number of times
    const int targetRows = target.lastRow - target.firstRow + 1, targetCols = target.lastCol - target.firstCol + 1;
    const int timesDown = targetRows % rows == 0 ? targetRows / rows : 1;
    const int timesAcross = targetCols % cols == 0 ? targetCols / cols : 1;
    const int lastRow = std::min(target.firstRow + rows * timesDown, kMaxRows) - 1;
    const int lastCol = std::min(target.firstCol + cols * timesAcross, kMaxColumns) - 1;
    if (qint64(lastRow - target.firstRow + 1) * (lastCol - target.firstCol + 1) > kMaxPasted)
        throw ESheetError(QStringLiteral("貼り付ける範囲が大きすぎます。"));
    result.range = {target.firstRow, lastRow, target.firstCol, lastCol};

    QHash<int, int> formats; // copied format -> ours
    for (int r = target.firstRow; r <= lastRow; ++r) {
        for (int c = target.firstCol; c <= lastCol; ++c) {
            const int sr = (r - target.firstRow) % rows, sc = (c - target.firstCol) % cols;
            if (copied) {
                const Cell* src = copied->sheets[0].cell(sr, sc);
                if (!src) {
                    result.changes.append({sheet, r, c, std::nullopt});
                    continue;
                }
                Cell cell = *src;
                auto known = formats.constFind(src->xf);
                if (known == formats.constEnd())
                    known = formats.insert(src->xf, book.importFormat(*copied, src->xf));
                cell.xf = quint16(*known);
                if (cell.formula && origin && (r != origin->row + sr || c != origin->col + sc)) {
                    if (auto moved = book.movedFormula(sheet, *cell.formula, r - origin->row - sr, c - origin->col - sc))
                        cell.formula = moved;
                }
                result.changes.append({sheet, r, c, cell});
            } else {
                const QStringList& line = entries[sr];
                const QString entry = sc < line.size() ? line[sc] : QString();
                result.changes.append({sheet, r, c, book.entryCell(sheet, r, c, entry)});
            }
        }
    }
    return result;
}

} // namespace tegaro::sheets
