#pragma once
// Reading house drawings into the model: the file reader for both formats
// (current ".hbd", first line $headerpas or $headerpasp; old ".had", first
// line "$heder" or "$heder2" in double quotes) and the reader of a stored
// drawing already split into StoredDrawingLines.
//
// The readers talk to no one: they fill the model (area texts included) and
// return what the user should be told; progress goes to an optional callback
// as gauge positions. Errors (EInOutError, EConvertError, EListError) end the
// read where they occur; the model keeps what was read up to there.
#include "drawing/DrawingModel.h"

#include <QByteArrayView>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

namespace tegaro {

enum class DrawingFormat {
    Unrecognised,
    Current,
    Old
};

// What a finished read has to tell: message boxes first, then the texts for
// status panel 2 in the order they were written. The caller shows the area
// texts of the model and redraws.
struct DrawingReport {
    DrawingFormat format = DrawingFormat::Unrecognised;
    QStringList messages;
    QStringList statusTexts;
    // The grid origin the drawing itself gives. The current format's is the
    // header origin; the old format's is read but the display goes back to
    // the header origin when the read ends.
    QPoint gridOrigin;
};

// Gauge positions 0..100 as the read gets on.
using DrawingProgress = std::function<void(int gauge)>;

// A file of either format. An unrecognised first line reports
// "家屋図面(木造)ではありません!" and leaves the element lists empty.
DrawingReport ReadDrawingFile(DrawingModel& model, const QString& path, const DrawingProgress& progress = {});
// The same read over the bytes of a file already loaded (no open error).
DrawingReport ReadDrawingBytes(DrawingModel& model, const QByteArray& bytes, const DrawingProgress& progress = {});

// StoredDrawingLines in the current format. An old drawing reports
// "旧家屋図面です。" and keeps the model; any other first line reads nothing.
DrawingReport ReadStoredDrawing(DrawingModel& model, const DrawingProgress& progress = {});

// Old-format helpers: every double quote removed; the line cut at every comma.
QString RemoveQuotes(const QString& line);
QStringList SplitFields(const QString& line);

// A stored drawing's bytes (CP932) as lines: a line ends at CR, LF or CR LF,
// a NUL byte ends the text, a final line break adds no empty line.
QStringList splitStoredDrawing(QByteArrayView bytes);

// Which first line this is; shared by both readers.
DrawingFormat formatOfFirstLine(QByteArrayView line);

} // namespace tegaro
