#pragma once
// Checks on a ZIP package before the package reader sees it. The reader
// takes every size and count in a package at its word, so a damaged or
// hostile file could make it allocate gigabytes or loop for hours; these
// checks stop such a file with a clear error in bounded time and memory.
#include "sheets/package/PackageLimits.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tegaro::sheets {

struct PackageEntry {
    QByteArray name;
    qint64 packed = 0, size = 0;
};

// Whether the bytes begin as a ZIP file does.
bool looksLikeZip(const QByteArray& bytes);

// The package without the bytes after it. A package read from a memory
// block runs on into whatever the block held before, which may be the end
// of an older package; the end record that really closes this one is the
// first whose directory ends where it begins. Bytes with no such record come
// back as they are.
QByteArray withoutTrailingBytes(const QByteArray& bytes);

// Reads the package's directory the way the package reader does and checks
// every entry's sizes against the file and the limits above. Throws
// ECorruptWorkbook.
QList<PackageEntry> checkPackageDirectory(const QByteArray& bytes);

// Which of the two formats the package is; ENotAWorkbook for other packages.
PackageKind packageKind(const QByteArray& bytes);

} // namespace tegaro::sheets
