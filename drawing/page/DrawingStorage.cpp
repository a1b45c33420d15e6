#include "drawing/page/DrawingStorage.h"

#include "core/Errors.h"
#include "core/MatchWildcard.h"
#include "widgets/UserSeam.h"
#include "db/RecordSet.h"
#include "drawing/DrawingReaders.h"
#include "drawing/page/DrawingPage.h"
#include "widgets/ImageCheckLabel.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

namespace tegaro {

namespace {
const QString kZumen = QStringLiteral("zumen");
const QString kStoredMark = QStringLiteral("□");
} // namespace

DrawingStorage::DrawingStorage(DrawingPage& page, RecordSet& query, ImageCheckLabel* check,
                               FileDialogState& openDialog, FileDialogState& saveDialog, const DragSources& sources)
    : page_(page), ADOQuery1(query), PCheck1(check), OpenDialog1(openDialog), SaveDialog1(saveDialog),
      sources_(sources)
{
}

void DrawingStorage::RegisterShownDrawing()
{
    DrawingModel& model = page_.model();
    if (model.DrawingBuffer.isEmpty()) {
        status().setMessage(QStringLiteral(" >>>図面が読み込まれていません。"));
        seam().beep();
        return;
    }
    if (!seam().confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")))
        return;
    ADOQuery1.open();
    ADOQuery1.edit();
    QBuffer buffer(&model.DrawingBuffer);
    buffer.open(QIODevice::ReadOnly);
    ADOQuery1.fieldByName(kZumen).loadFromStream(buffer);
    ADOQuery1.post();
    PCheck1->setChecked(true);
    page_.setZmfileText(kStoredMark);
    status().setMessage(page_.zmfileText() + QStringLiteral("（図面）を登録ました。"));
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
    page_.setZmfileText(kStoredMark);
    status().setMessage(path + QStringLiteral("（図面）を登録ました。"));
}

void DrawingStorage::ShowStoredDrawing()
{
    ADOQuery1.edit();
    const QByteArray bytes = storedBytes();
    if (bytes.isEmpty()) {
        page_.clearDrawing();
        page_.setZmfileText(QStringLiteral("なし!"));
        status().setMessage(QStringLiteral("　>>>図面がありません。"));
        return;
    }
    DrawingModel& model = page_.model();
    model.StoredDrawingLines = splitStoredDrawing(bytes);
    model.CurrentFloor = 1;
    page_.read([&](const DrawingProgress& progress) { return ReadStoredDrawing(model, progress); });
    page_.setZmfileText(kStoredMark);
}

void DrawingStorage::ExportStoredDrawing()
{
    const QByteArray bytes = storedBytes();
    if (bytes.isEmpty()) {
        page_.setZmfileText(QStringLiteral("なし"));
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
    page_.setZmfileText(QStringLiteral("->"));
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
        page_.clearDrawing();
        page_.model().DrawingBuffer.clear();
        page_.setZmfileText(QStringLiteral("-"));
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
    page_.model().DrawingBuffer.clear();
    if (button != Qt::RightButton)
        return;
    if (!seam().confirm(QStringLiteral("図面削除"), QStringLiteral("消去しますか？")))
        return;
    ADOQuery1.edit();
    // Not posted here: the next post or move writes it, a new search drops it.
    ADOQuery1.fieldByName(kZumen).clear();
    PCheck1->setChecked(false);
    page_.setZmfileText(QString());
}

void DrawingStorage::BitBtn1DragDrop(const QObject* source)
{
    const QString path = DraggedItemPath(source);
    if (path.isEmpty())
        return;
    if (!MatchWildcard(path, QStringLiteral("*hbd*"))) {
        seam().message(QStringLiteral("図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"));
        return;
    }
    if (!seam().confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")))
        return;
    storeFile(path);
    status().setMessage(QStringLiteral("図面登録..."));
    PCheck1->setChecked(true);
    ShowStoredDrawing();
    page_.setZmfileText(kStoredMark);
    status().setMessage(path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
}

} // namespace tegaro
