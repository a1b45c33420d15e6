#include "app/DrawingStorage.h"

#include "core/Errors.h"
#include "core/MatchWildcard.h"
#include "db/RecordSet.h"
#include "drawing/DrawingModel.h"
#include "drawing/DrawingReaders.h"
#include "drawing/DrawingView.h"
#include "widgets/ImageCheckLabel.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

using tegaro::seam;
using tegaro::status;

namespace {
const QString kZumen = QStringLiteral("zumen");
const QString kStoredMark = QStringLiteral("□");
} // namespace

DrawingStorage::DrawingStorage(tegaro::DrawingModel& model, tegaro::DrawingView& view, tegaro::RecordSet& query,
                               tegaro::ImageCheckLabel* check, tegaro::FileDialogState& openDialog,
                               tegaro::FileDialogState& saveDialog, const DragSources& sources)
    : model_(model), view_(view), ADOQuery1(query), PCheck1(check), OpenDialog1(openDialog),
      SaveDialog1(saveDialog), sources_(sources)
{
}

void DrawingStorage::RegisterShownDrawing()
{
    if (model_.DrawingBuffer.isEmpty()) {
        status().setMessage(QStringLiteral(" >>>図面が読み込まれていません。"));
        seam().beep();
        return;
    }
    if (!seam().confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")))
        return;
    ADOQuery1.open();
    ADOQuery1.edit();
    QBuffer buffer(&model_.DrawingBuffer);
    buffer.open(QIODevice::ReadOnly);
    ADOQuery1.fieldByName(kZumen).loadFromStream(buffer);
    ADOQuery1.post();
    PCheck1->setChecked(true);
    view_.setZmfileText(kStoredMark);
    status().setMessage(view_.zmfileText() + QStringLiteral("（図面）を登録ました。"));
}

QByteArray DrawingStorage::storedBytes()
{
    // Through a memory stream, as any other reader of the column would.
    QByteArray bytes;
    QBuffer stream(&bytes);
    stream.open(QIODevice::WriteOnly);
    ADOQuery1.fieldByName(kZumen).saveToStream(stream);
    return bytes;
}

void DrawingStorage::storeFile(const QString& path)
{
    ADOQuery1.open();
    ADOQuery1.edit();
    ADOQuery1.fieldByName(kZumen).loadFromFile(path);
    ADOQuery1.post();
}

void DrawingStorage::RegisterDrawingFromFile()
{
    OpenDialog1.filter = QStringLiteral("図面ファイル (*.hbd)|*.hbd");
    if (!seam().openFile(OpenDialog1))
        return;
    const QString path = OpenDialog1.fileName;
    storeFile(path);
    PCheck1->setChecked(true);
    ShowStoredDrawing();
    view_.setZmfileText(kStoredMark);
    status().setMessage(path + QStringLiteral("（図面）を登録ました。"));
}

void DrawingStorage::ShowStoredDrawing()
{
    ADOQuery1.edit();
    const QByteArray bytes = storedBytes();
    if (bytes.isEmpty()) {
        tegaro::zclear(model_, view_);
        view_.setZmfileText(QStringLiteral("なし!"));
        status().setMessage(QStringLiteral("　>>>図面がありません。"));
        return;
    }
    model_.StoredDrawingLines = tegaro::splitStoredDrawing(bytes);
    model_.CurrentFloor = 1;
    tegaro::ReadStoredDrawing(model_, view_);
    view_.setZmfileText(kStoredMark);
}

void DrawingStorage::ExportStoredDrawing()
{
    const QByteArray bytes = storedBytes();
    if (bytes.isEmpty()) {
        view_.setZmfileText(QStringLiteral("なし"));
        return;
    }
    SaveDialog1.filter = QStringLiteral("家屋図面 (*.hbd)|*.hbd");
    SaveDialog1.defaultExt = QStringLiteral("hbd");
    const bool chosen = seam().saveFile(SaveDialog1);
    // Only this export adds an extension by itself.
    SaveDialog1.defaultExt.clear();
    if (chosen) {
        // Written beside and moved into place, so a failure never leaves half a file.
        QSaveFile file(SaveDialog1.fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            throw EInOutError(QStringLiteral("ファイル %1 を作成できません。%2").arg(SaveDialog1.fileName, file.errorString()));
    }
    view_.setZmfileText(QStringLiteral("->"));
}

void DrawingStorage::InspectorBar3ItemClick(int panel, int item)
{
    if (panel != 0)
        return;
    switch (item) {
    case 0:
        ShowStoredDrawing();
        break;
    case 1:
        tegaro::zclear(model_, view_);
        model_.DrawingBuffer.clear();
        view_.setZmfileText(QStringLiteral("-"));
        break;
    case 2:
        RegisterShownDrawing();
        break;
    case 3:
        ExportStoredDrawing();
        break;
    default:
        break;
    }
}

void DrawingStorage::PCheck1MouseUp(Qt::MouseButton button)
{
    model_.DrawingBuffer.clear();
    if (button != Qt::RightButton)
        return;
    if (!seam().confirm(QStringLiteral("図面削除"), QStringLiteral("消去しますか？")))
        return;
    ADOQuery1.edit();
    // Not posted here: the next post or move writes it, a new search drops it.
    ADOQuery1.fieldByName(kZumen).clear();
    PCheck1->setChecked(false);
    view_.setZmfileText(QString());
}

void DrawingStorage::BitBtn1DragDrop(const QObject* source)
{
    const QString path = DraggedItemPath(source);
    if (path.isEmpty())
        return;
    if (!tegaro::MatchWildcard(path, QStringLiteral("*hbd*"))) {
        seam().message(QStringLiteral("図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"));
        return;
    }
    if (!seam().confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")))
        return;
    storeFile(path);
    status().setMessage(QStringLiteral("図面登録..."));
    PCheck1->setChecked(true);
    ShowStoredDrawing();
    view_.setZmfileText(kStoredMark);
    status().setMessage(path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
}
