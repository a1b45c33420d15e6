#pragma once
// The value an OpenDocument cell states in its attributes, as a cell of
// this workbook holds it.
#include "sheets/package/ImportContext.h"

#include <QXmlStreamAttributes>

#include <optional>

namespace tegaro::sheets {

struct OdsValue {
    // What the value needs of a number format when the cell's own says
    // nothing of dates and times.
    enum class Shown {
        AsIs,
        Date,
        DateTime,
        Time,
        Duration
    };
    CellKind kind = CellKind::Empty; // Number, Text, Boolean or Error
    double number = 0;
    QString text;
    Shown shown = Shown::AsIs;
};

// `paragraphs` is the cell's text, paragraphs joined by line feeds; it is
// the value of a text whose attributes do not repeat it. Nothing when the
// attributes state no value.
std::optional<OdsValue> odsValue(const QXmlStreamAttributes& attributes, const QString& paragraphs,
                                 const ImportContext& ctx);

// The number format a value of this kind gets when the cell has none.
QString defaultCode(OdsValue::Shown shown);

} // namespace tegaro::sheets
