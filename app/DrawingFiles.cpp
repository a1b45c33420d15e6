#include "app/DrawingFiles.h"

#include "core/Errors.h"
#include "core/MatchWildcard.h"
#include "drawing/DrawingModel.h"
#include "drawing/DrawingReaders.h"
#include "drawing/DrawingView.h"

#include <QFile>

using tegaro::seam;
using tegaro::status;

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

DrawingFiles::DrawingFiles(tegaro::DrawingModel& model, tegaro::DrawingView& view,
                           tegaro::FileDialogState& openDialog, const DragSources& sources)
    : model_(model), view_(view), OpenDialog1(openDialog), sources_(sources)
{
}

void DrawingFiles::showRead(const QString& path)
{
    model_.GridOriginX = model_.HeaderOriginX;
    model_.GridOriginY = model_.HeaderOriginY;
    view_.redraw();
    view_.setZmfileText(path);
}

void DrawingFiles::ZmReadClick()
{
    OpenDialog1.filter = QStringLiteral("家屋図面 (*.hbd)|*.hbd|家屋旧図面 (*.had)|*.HAD");
    if (!seam().openFile(OpenDialog1))
        return;
    const QString path = OpenDialog1.fileName;
    tegaro::ReadDrawingFile(model_, view_, path);
    showRead(path);
    status().setMessage(path + QStringLiteral("を読込みました。"));
}

void DrawingFiles::FileDrop4Drop(const QStringList& paths)
{
    model_.DrawingBuffer.clear();
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
    if (!tegaro::MatchWildcard(path, QStringLiteral("*hbd*"))) {
        seam().message(kDropRefused);
        return;
    }
    model_.CurrentFloor = 1;
    if (keepBytes)
        model_.DrawingBuffer = readWholeFile(path);
    tegaro::ReadDrawingFile(model_, view_, path);
    status().setMessage(QStringLiteral("図面読込..."));
    showRead(path);
    status().setMessage(view_.zmfileText() + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
}
