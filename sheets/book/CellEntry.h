#pragma once
// What a typed entry puts into a cell, understood the way spreadsheet users
// expect: "1,234", "(5)", "12%", "¥1,500", "2024/4/1", "令和6年4月1日",
// "12:30", "TRUE"; an apostrophe in front keeps the rest as text.
#include "sheets/model/Workbook.h"

#include <QDate>

namespace tegaro::sheets {

struct CellEntry {
    CellKind kind = CellKind::Empty;
    double number = 0; // number, date serial, 0/1, or error code
    QString text;
    // A number format the entry brings (a date, a percentage, separators);
    // empty when the entry says nothing about its format.
    QString format;
    bool quoted = false; // typed with a leading apostrophe
};

// `today` supplies the year of entries such as "4/1" and "4月1日".
CellEntry parseEntry(const QString& typed, bool date1904, QDate today = QDate::currentDate());

// The number format a cell shows after an entry: a typed number keeps the
// cell's own format, except that a General cell takes the entry's format,
// and a date always shows as a date.
QString formatAfterEntry(const CellEntry& entry, const QString& cellFormat);

// The serial number of a day (and time of day) in the workbook's date system.
double dateSerial(QDate date, bool date1904);

} // namespace tegaro::sheets
