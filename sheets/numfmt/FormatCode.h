#pragma once
// A number format code taken apart into sections and tokens.
#include <QList>
#include <QString>

namespace tegaro::sheets {

struct FormatToken {
    enum Kind {
        Literal,
        General,
        Zero,
        Hash,
        Question,
        Point,
        Comma,
        Percent,
        Exponent,
        Slash,
        At,
        Year,
        Month,
        Day,
        Hour,
        Minute,
        Second,
        SubSecond,
        AmPm,
        Elapsed,
        Era,
        EraYear,
        Weekday,
    } kind;
    QString text;  // literal text, exponent sign, AM/PM spelling, elapsed unit
    int count = 1; // letters in a date token
};

// A number shown as literals around plain digits ("#,##0", "0.00\"㎡\""):
// no percent, exponent, fraction, scaling or blanks for digits. Such
// sections, the usual ones, are written the quick way.
struct PlainLayout {
    bool valid = false;
    QString prefix, suffix;
    int minWhole = 0; // integer digits shown even when zero
    int decimals = 0;
    bool group = false; // thousands separators
};

struct FormatSection {
    QList<FormatToken> tokens;
    PlainLayout plain;
    bool hasCondition = false;
    QString op; // < <= > >= = <>
    double operand = 0;
    bool japanese = false; // [$-411] and the like
    bool isDate = false;
    bool isText = false; // holds @
    bool hasGeneral = false;
    int color = -1; // palette index of [Red], [Color10] ...; -1 none
    bool matches(double v) const;
};

struct FormatCode {
    QList<FormatSection> sections;
    bool anyCondition = false;
};

// Parsed codes are kept, as a sheet uses few of them for many cells.
const FormatCode& parsedFormat(const QString& code);

} // namespace tegaro::sheets
