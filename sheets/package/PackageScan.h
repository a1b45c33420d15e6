#pragma once
// The checks every XML part of a package gets before or while it is read,
// and one .xlsx part looked through before liborcus gets it: what would
// make its work unbounded or fail its internal checks is refused, what it
// would take wrongly is mended, and what it would pass over without a word
// is noted.
#include "sheets/package/PackageLimits.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <set>
#include <vector>

namespace tegaro::sheets {

struct ScannedPart {
    QByteArray mended;                // null when no edit was needed
    bool date1904 = false;            // an .xlsx workbook counting dates from 1904
    std::set<QString> unread;         // what the part holds that the reader does not hand over
    std::vector<QString> sharedTexts; // of the shared strings part, as Excel shows them
    bool cellPass = false;            // has .xlsx cells the reader takes wrongly
    qint64 valueCells = 0;            // cells that state a value
};

// "_x000D_" and the like in .xlsx texts: a character written as its code, as
// Excel does for those XML cannot hold; "_x005F_" keeps an underscore.
QString decodeEscapes(const QString& text);

// What follows every part the parser reads: a NUL, then bytes it cannot take
// as XML. liborcus's parser steps one byte past its end when an attribute
// value with a character reference runs to the end of the part, and reads on
// from there; the guard turns that into an error instead of a read of
// whatever memory lies beyond.
inline constexpr std::size_t kPartEnd = 64;
inline constexpr char kPartEndByte = '!';
void endPart(std::vector<unsigned char>& buffer);
void writePartEnd(char* at); // the kPartEnd bytes at `at`
inline std::size_t partSize(const std::vector<unsigned char>& buffer) { return buffer.size() - kPartEnd; }

// A part as an event parser may read it: UTF-8 XML whose character
// references are all in form. Empty for a part with nothing to read (blank,
// or not XML and not named as XML). Throws ECorruptWorkbook.
QByteArray xmlPartText(const QByteArray& data, const QByteArray& name);

// After a parse that ended at `rootEnd` (-1: no root closed) with `open`
// elements left: the parser ends quietly where the root stays open, and
// passes over what follows it. Throws ECorruptWorkbook.
void checkXmlEnd(QByteArrayView data, qsizetype rootEnd, bool open);

// `buffer` holds the part and its end (endPart).
// Throws ECorruptWorkbook.
ScannedPart scanPart(const std::vector<unsigned char>& buffer, const QByteArray& name);

} // namespace tegaro::sheets
