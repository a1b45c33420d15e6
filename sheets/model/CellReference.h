#pragma once
// Cell references as text: "B3", "$A$1", "Sheet1!A1:C4" in Excel's A1
// style and "$Sheet1.A1:.C4" in OpenDocument's, to and from the model's
// 0-based rows and columns.
#include "sheets/model/Workbook.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace tegaro::sheets {

// The grid of today's spreadsheet files; a reference beyond it is damaged.
constexpr int kGridRows = 1048576;
constexpr int kGridColumns = 16384;

struct CellRef {
    int row = 0, col = 0;
    bool rowAbsolute = false, colAbsolute = false;
};

// "A" is 0, "XFD" 16383; -1 for anything else.
int columnIndex(QStringView letters);
QString columnLetters(int col);

// "B3" or "$B$3"; nothing when the text is not exactly one such reference.
std::optional<CellRef> parseCell(QStringView text);
QString cellText(const CellRef& ref);

// A sheet name and an area on it; `sheet` is empty when the text names none.
struct Area {
    QString sheet;
    Range range;
    bool operator==(const Area&) const = default;
};

// "A1", "A1:C4", "A:C", "1:3", each optionally after "Sheet!" or
// "'My sheet'!", several joined by commas as print areas are.
std::optional<QList<Area>> parseAreas(QStringView text);

// OpenDocument's "$Sheet1.$A$1:.$D$6" and "'My sheet'.A1", several
// separated by spaces.
std::optional<QList<Area>> parseOdfAreas(QStringView text);

// The sheet name as Excel writes it before "!": quoted when it needs to be.
QString quotedSheetName(const QString& name);
// "Sheet2:Sheet3" for a reference across sheets, quoted as one when either
// name needs quotes; the one name when `last` is empty or the same.
QString quotedSheetRange(const QString& first, const QString& last);

} // namespace tegaro::sheets
