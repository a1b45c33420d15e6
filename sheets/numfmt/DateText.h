#pragma once
// Dates and times of Excel serial numbers, with the Japanese eras.
#include <QDate>
#include <QString>

#include <optional>

namespace tegaro::sheets {

struct FormatSection;

struct SerialDate {
    int year = 1900, month = 1, day = 0; // 1900-01-00 and 1900-02-29 exist in Excel
    int weekday = 0;                     // 0 Sunday
    bool valid = true;
};

// The calendar day of a serial day number in the 1900 or the 1904 system.
SerialDate serialToDate(qint64 serialDay, bool date1904);

// The serial day number of a date as Excel's DATE works it out: years 0 to
// 1899 count from 1900, months and days beyond their range carry over
// (month 13 is January of the next year, day 0 the last of the month
// before). Nothing for a year outside 0-9999 or a day before the system's
// first.
std::optional<qint64> serialOfDate(qint64 year, qint64 month, qint64 day, bool date1904);

struct Era {
    QDate start;
    const char16_t* name; // 明治 ...
    char16_t letter;      // M T S H R
};
// The era of a date, or nullptr before Meiji.
const Era* eraOf(int year, int month, int day);
// The era called by its name (令和) or letter (R, r); nullptr for none.
const Era* eraNamed(QStringView name);

QString formatDate(const FormatSection& section, double serial, bool date1904);

} // namespace tegaro::sheets
