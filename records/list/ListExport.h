#pragma once
// 一覧出力: the list to a .xlsx or .csv file, chosen by the save dialog's
// filter. The file is written beside the target under another name and put
// in its place only when complete: the target is whole or untouched.
#include "records/list/ListRows.h"

#include <QStringList>

namespace tegaro {

enum class ExportFormat {
    Xlsx,
    CsvUtf8,
    CsvCp932
};

// The save dialog's filter ("Label|*.ext" pairs), in ExportFormat's order.
QString exportFilter();
// The format of the filter chosen, unless the name's extension says
// otherwise: a name ending in .xlsx is a workbook whatever the filter, one
// in .csv is CSV (Shift-JIS only when that filter was chosen).
ExportFormat exportFormatFor(int filterIndex, const QString& path);

struct ExportResult {
    enum Outcome {
        Written,
        Cancelled, // progress asked to stop; the target is untouched
        Refused    // nothing written, for the reason in message
    };
    Outcome outcome = Written;
    int rows = 0;
    QString message; // what the user is told
};

// Throws EInOutError when the file cannot be written.
ExportResult exportList(const ListRows& rows, const QString& path, ExportFormat format,
                        const ListProgress& progress = {});

// Puts `written` in the place of `target` in one step (the old file, if
// any, goes in the same step).
void replaceFile(const QString& written, const QString& target);

} // namespace tegaro
