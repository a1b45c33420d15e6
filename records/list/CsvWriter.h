#pragma once
// The list as CSV (RFC 4180): a heading line, one line per row, CR LF after
// each, fields with a comma, a quote or a line break in double quotes with
// quotes doubled. UTF-8 begins with a byte-order mark, so that Excel reads
// it as UTF-8; CP932 is for older tools.
//
// Numbers are written with the form's digits and no grouping, dates as
// yyyy/MM/dd, so that spreadsheet programs read them as numbers and dates.
// Text that a spreadsheet program would take for a formula (it begins with
// = or @, a tab or a carriage return, or with + or - and holds more than
// signs, digits and separators) is written with a ' before it.
#include "records/list/ListRows.h"

#include <QByteArray>
#include <QList>

class QIODevice;

namespace tegaro {

enum class CsvEncoding {
    Utf8,
    Cp932
};

// A character that CP932 cannot hold, where it is: row from 0 (-1 for the
// heading) and list column.
struct Unencodable {
    int row;
    int column;
    QString character;
};
// The first `limit` such characters of the list, in row order.
QList<Unencodable> cp932Problems(const ListRows& rows, int limit = 10, const ListProgress& progress = {});

// The text of a cell in the CSV, before quoting.
QString csvText(const ListCell& cell);
// A field as RFC 4180 writes it.
QString csvField(const QString& text);

// Writes the list; false when progress asked to stop. Characters CP932
// cannot hold must have been looked for first: they would be replaced.
bool writeCsv(const ListRows& rows, QIODevice& out, CsvEncoding encoding, const ListProgress& progress = {});

} // namespace tegaro
