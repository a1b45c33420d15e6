#pragma once
// Reading house drawings into the model: the file reader for both formats
// (current ".hbd", first line $headerpas or $headerpasp; old ".had", first
// line "$heder" or "$heder2" in double quotes) and the reader of a stored
// drawing already split into StoredDrawingLines.
//
// Both write the area boxes, the gauge and status panel 2, and redraw
// through the view. Errors (EInOutError, EConvertError, EListError) end the
// read where they occur; the model keeps what was read up to there.
#include "drawing/DrawingModel.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace tegaro {

class DrawingView;

enum class DrawingFormat { Unrecognised, Current, Old };

// A file of either format. An unrecognised first line shows
// "家屋図面(木造)ではありません!" and leaves the element lists empty.
DrawingFormat ReadDrawingFile(DrawingModel& model, DrawingView& view, const QString& path);
// The same read over the bytes of a file already loaded (no open error).
DrawingFormat ReadDrawingBytes(DrawingModel& model, DrawingView& view, const QByteArray& bytes);

// StoredDrawingLines in the current format. An old drawing shows
// "旧家屋図面です。" and keeps the model; any other first line reads nothing.
DrawingFormat ReadStoredDrawing(DrawingModel& model, DrawingView& view);

// Old-format helpers: every double quote removed; the line cut at every comma.
QString RemoveQuotes(const QString& line);
QStringList SplitFields(const QString& line);

// A stored drawing's bytes (CP932) as lines: a line ends at CR, LF or CR LF,
// a NUL byte ends the text, a final line break adds no empty line.
QStringList splitStoredDrawing(QByteArrayView bytes);

// Which first line this is; shared by both readers.
DrawingFormat formatOfFirstLine(QByteArrayView line);

} // namespace tegaro
