#pragma once
// One part of a package looked through before the package reader gets it:
// what would make the reader's work unbounded or fail its internal checks
// is refused, what it would take wrongly is mended, and what it would pass
// over without a word is noted.
#include "sheets/package/PackageLimits.h"

#include <QByteArray>
#include <QString>

#include <set>
#include <vector>

namespace tegaro::sheets {

struct ScannedPart {
    QByteArray mended;        // null when no edit was needed
    bool date1904 = false;    // an .xlsx workbook counting dates from 1904
    std::set<QString> unread; // what the part holds that the reader does not hand over
};

// `buffer` holds the part and the NUL byte the reader parses after it.
// Throws ECorruptWorkbook.
ScannedPart scanPart(const std::vector<unsigned char>& buffer, const QByteArray& name, PackageKind kind);

} // namespace tegaro::sheets
