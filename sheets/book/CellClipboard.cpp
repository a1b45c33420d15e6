#include "sheets/book/CellClipboard.h"

#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

#include <optional>

namespace tegaro::sheets {

const QString kCellsMimeType = QStringLiteral("application/x-tegaro-cells");

namespace {

// Where our own copies came from: "identity sheet row column" of the book
// and the range's first cell.
const QString kOriginMimeType = QStringLiteral("application/x-tegaro-cells-origin");


std::optional<CopyOrigin> originOf(const QMimeData& mime)
{
    const QList<QByteArray> parts = mime.data(kOriginMimeType).split(' ');
    if (parts.size() != 4)
        return std::nullopt;
    CopyOrigin o;
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

ClipboardCells readClipboard(const QMimeData& mime)
{
    ClipboardCells in;
    if (mime.hasFormat(kCellsMimeType)) {
        try {
            in.copied = readXls(mime.data(kCellsMimeType));
        } catch (const ESheetError&) {
            in.copied.reset(); // damaged: fall back on the text
        }
    }
    in.origin = originOf(mime);
    if (in.copied) {
        const Range used = usedRange(in.copied->sheets[0]);
        in.rows = used.lastRow + 1;
        in.cols = used.lastCol + 1;
    } else if (mime.hasText()) {
        in.entries = parseTabText(mime.text());
        in.rows = int(in.entries.size());
        for (const QStringList& r : in.entries)
            in.cols = std::max(in.cols, int(r.size()));
    }
    return in;
}

} // namespace tegaro::sheets
