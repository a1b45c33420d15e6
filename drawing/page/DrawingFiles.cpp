#include "drawing/page/DrawingFiles.h"

#include "core/Errors.h"
#include "core/MatchWildcard.h"
#include "widgets/UserSeam.h"
#include "drawing/DrawingReaders.h"
#include "drawing/page/DrawingPage.h"
#include "widgets/DropHelpers.h"

#include <QFile>

namespace tegaro {

namespace {
const QString kDropRefused = QStringLiteral("hbd図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!");

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(file.exists() ? QStringLiteral("ファイルを開けません: %1").arg(path)
                                        : QStringLiteral("ファイルが見つかりません: %1").arg(path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("ファイルを読めません: %1").arg(path));
    return bytes;
}
} // namespace

DrawingFiles::DrawingFiles(DrawingPage& page, FileDialogState& openDialog, const DragSources& sources)
    : page_(page), OpenDialog1(openDialog), sources_(sources)
{
}

void DrawingFiles::readFile(const QString& path)
{
    DrawingModel& model = page_.model();
    page_.read([&](const DrawingProgress& progress) { return ReadDrawingFile(model, path, progress); });
}

// After a read: the grid starts at the header origin and the drawing field
// names the file.
void DrawingFiles::showRead(const QString& path)
{
    DrawingModel& model = page_.model();
    model.GridOriginX = model.HeaderOriginX;
    model.GridOriginY = model.HeaderOriginY;
    page_.redraw();
    page_.setZmfileText(path);
}

void DrawingFiles::ZmReadClick()
{
    OpenDialog1.filter = QStringLiteral("家屋図面 (*.hbd)|*.hbd|家屋旧図面 (*.had)|*.HAD");
    if (!seam().openFile(OpenDialog1))
        return;
    const QString path = OpenDialog1.fileName;
    readFile(path);
    showRead(path);
    status().setMessage(path + QStringLiteral("を読込みました。"));
}

void DrawingFiles::FileDrop4Drop(const QStringList& paths)
{
    page_.model().DrawingBuffer.clear();
    if (paths.isEmpty())
        return;
    showDropped(paths.first(), true);
}

bool DrawingFiles::PaintBox1DragOver(const QObject* source) const
{
    return sources_.accepts(source);
}

void DrawingFiles::PaintBox1DragDrop(const QObject* source)
{
    const QString path = DraggedItemPath(source);
    if (path.isEmpty())
        return; // nothing selected in the list: nothing to read
    showDropped(path, false);
}

void DrawingFiles::showDropped(const QString& path, bool keepBytes)
{
    if (!MatchWildcard(path, QStringLiteral("*hbd*"))) {
        seam().message(kDropRefused);
        return;
    }
    DrawingModel& model = page_.model();
    model.CurrentFloor = 1;
    if (keepBytes)
        model.DrawingBuffer = readWholeFile(path);
    readFile(path);
    status().setMessage(QStringLiteral("図面読込..."));
    showRead(path);
    status().setMessage(page_.zmfileText() + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
}

} // namespace tegaro
