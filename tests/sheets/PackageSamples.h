#pragma once
// Packages made in code, as Excel and LibreOffice write them, for the tests
// and the fuzz target of the package reader.
#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tegaro::sheets::testing {

// An .xlsx package of a workbook part, the parts of up to two sheets, the
// shared strings and the styles, in this order; empty parts are left out.
QByteArray xlsxPackage(const QList<QByteArray>& parts, bool compress = false);

// The parts, each in its root element with its namespaces.
QByteArray workbookPart(const QStringList& sheets, const QByteArray& inside = {});
QByteArray worksheetPart(const QByteArray& inside);
QByteArray sharedStringsPart(const QByteArray& inside);
QByteArray stylesPart(const QByteArray& inside);

// An .ods package of a content part and, when given, a styles part and a
// settings part.
QByteArray odsPackage(const QByteArray& content, const QByteArray& styles = {}, bool compress = false,
                      const QByteArray& settings = {});
// The styles part, its root with the namespaces around `inside`.
QByteArray odsStyles(const QByteArray& inside);
// The content part: automatic styles, then the spreadsheet body.
QByteArray odsContent(const QByteArray& body, const QByteArray& automaticStyles = {});

// One-sheet packages: an .xlsx of one worksheet named S, and an .ods of one
// table named S (with the automatic styles given).
QByteArray simpleXlsx(const QByteArray& sheetInside, bool compress = false);
QByteArray simpleOds(const QByteArray& tableInside, const QByteArray& styles = {});

} // namespace tegaro::sheets::testing
