#pragma once
// One part of a package looked through before the package reader gets it:
// what would make the reader's work unbounded or fail its internal checks
// is refused, what it would take wrongly is mended, and what it would pass
// over without a word is noted.
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
void endPart(std::vector<unsigned char>& buffer);
inline std::size_t partSize(const std::vector<unsigned char>& buffer) { return buffer.size() - kPartEnd; }

// `buffer` holds the part and its end (endPart).
// Throws ECorruptWorkbook.
ScannedPart scanPart(const std::vector<unsigned char>& buffer, const QByteArray& name, PackageKind kind);

} // namespace tegaro::sheets
