#pragma once
// How the sheets of an OpenDocument spreadsheet print: paper, orientation,
// margins, scale, order, centring, gridlines and headings, headers and
// footers, from the page style each table names.
#include "sheets/package/ImportContext.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace tegaro::sheets {

// What the content part says of each table's printing.
struct OdsTablePrint {
    QString style;       // the table's own style
    QString printRanges; // "S.A1:S.D9 ..." as the table gives them
};

struct OdsPrintInfo {
    std::vector<OdsTablePrint> tables;        // by sheet
    std::map<QString, QString> masterOfStyle; // table style -> page style
};

// Fills the sheets' page setups from `stylesXml`, which holds the page
// styles, and sets the print areas the tables give. Throws ECorruptWorkbook.
void readOdsPages(const QByteArray& stylesXml, const OdsPrintInfo& info, ImportContext& ctx);

// A length such as "0.75in", "2cm", "36pt" in inches; nothing when it is
// not one.
std::optional<double> odsInches(QStringView length);

} // namespace tegaro::sheets
