#pragma once
// The searches of the house record query, in one place for the window's
// search tabs and for tegaro-db export: the SQL lines each search puts into
// the query, its parameters, and what a list made by it is called.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tegaro {

class RecordSet;

// The input with "%" appended, in single quotes, quotes inside doubled.
QString quotedPrefixPattern(const QString& input);

enum class PrefixSearch {
    OwnerName,
    District,
    Memo
};
QStringList prefixSearchLines(PrefixSearch kind, const QString& input);
QStringList dateRangeLines();
QStringList allRecordsLines();

// A picker's value as a bound: cut to whole seconds.
QDateTime wholeSeconds(const QDateTime& value);

struct HouseSearch {
    enum Kind {
        All,
        OwnerName,
        District,
        DateRange,
        Memo
    };
    Kind kind = All;
    QString text;       // the typed prefix (owner name, district, memo)
    QDateTime from, to; // the date range, both ends included

    static HouseSearch prefix(PrefixSearch which, const QString& text);
    static HouseSearch dates(const QDateTime& from, const QDateTime& to);
    bool operator==(const HouseSearch&) const = default;
};

// Closes the query and gives it the search's SQL text and parameters; the
// caller opens it.
void applySearch(RecordSet& query, const HouseSearch& search);
// The search whose SQL text the query holds; All for any other text.
HouseSearch searchOf(const RecordSet& query);
// What a list made by the search is called on paper: "氏名検索「山」".
QString searchTitle(const HouseSearch& search);

} // namespace tegaro
