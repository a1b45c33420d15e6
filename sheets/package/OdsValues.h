#pragma once
// The value an OpenDocument cell states in its attributes, as a cell of
// this workbook holds it.
#include "sheets/package/ImportContext.h"

#include <optional>
#include <string_view>

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

// What a cell's attributes state of its value, as the part writes them.
struct OdsValueAttributes {
    std::string_view type;     // office:value-type
    std::string_view calcType; // calcext:value-type, "error" for errors
    std::string_view value, dateValue, timeValue, booleanValue;
    std::optional<std::string_view> stringValue;
};

// `paragraphs` is the cell's text, paragraphs joined by line feeds; it is
// the value of a text whose attributes do not repeat it. Nothing when the
// attributes state no value.
std::optional<OdsValue> odsValue(const OdsValueAttributes& attributes, const QString& paragraphs,
                                 const ImportContext& ctx);

// The number format a value of this kind gets when the cell has none.
QString defaultCode(OdsValue::Shown shown);

} // namespace tegaro::sheets
