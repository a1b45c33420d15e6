#include "sheets/page/SheetStorage.h"

#include "core/Errors.h"
#include "db/RecordSet.h"
#include "sheets/memory/HandleMemoryStream.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/page/SheetFiles.h"
#include "sheets/page/SheetPage.h"
#include "sheets/view/TF5Book.h"
#include "widgets/DropHelpers.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/UserSeam.h"

#include <QBuffer>
#include <QFileInfo>

namespace tegaro::sheets {

namespace {
const QString kExcel = QStringLiteral("excel");
const QString kSaveFilter = QStringLiteral("明細ｼｰﾄ(*.XLS)|*.xls");

bool confirmRegistration()
{
    return seam().confirm(QStringLiteral("明細登録"), QStringLiteral("登録しますか？"));
}

// A sheet shown from one house record and about to go into another says so.
bool confirmRegistration(const SheetPage& page)
{
    if (!page.fromOtherRecord())
        return confirmRegistration();
    return seam().confirm(QStringLiteral("明細登録"), QStringLiteral("表示中の明細は %1 の家屋のものです。%2 の家屋に登録しますか？").arg(page.origin().label, page.currentOwner()));
}
} // namespace

SheetStorage::SheetStorage(SheetPage& page, RecordSet& query, ImageCheckLabel* check, FileDialogState& openDialog,
                           FileDialogState& saveDialog, const DragSources& sources)
    : page_(page), ADOQuery1(query), PCheck2(check), OpenDialog1(openDialog), SaveDialog1(saveDialog),
      sources_(sources)
{
}

bool SheetStorage::RegisterShownSheet()
{
    if (!confirmRegistration(page_))
        return false;
    TGlobalMemoryStream stream;
    HGLOBAL handle = 0;
    page_.saveToMemoryHandle(handle);
    if (handle == 0)
        throw Exception(QStringLiteral("アサート失敗 (%1, %2 行)")
                            .arg(QFileInfo(QStringLiteral(__FILE__)).fileName())
                            .arg(__LINE__));
    {
        // Frees the control's block whether or not the copy succeeds.
        THandleMemoryStream image(handle);
        stream.Write(image.Memory(), image.Size());
    }
    ADOQuery1.open();
    ADOQuery1.edit();
    QByteArray view = QByteArray::fromRawData(static_cast<const char*>(stream.Memory()), stream.Size());
    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    ADOQuery1.fieldByName(kExcel).loadFromStream(buffer);
    ADOQuery1.post();
    page_.registeredShown();
    page_.setExfileText(QStringLiteral("登録!"));
    status().setMessage(QStringLiteral(" >>>表示明細を登録しました。"));
    return true;
}

void SheetStorage::RegisterSheetFromFile()
{
    OpenDialog1.filter = withAllBooks(QStringLiteral("明細ファイル (*.xls)|*.xls"));
    if (!seam().openFile(OpenDialog1))
        return;
    const QString path = OpenDialog1.fileName;
    ADOQuery1.open();
    ADOQuery1.edit();
    ADOQuery1.fieldByName(kExcel).loadFromFile(path);
    ADOQuery1.post();
    PCheck2->setChecked(true);
    ShowStoredSheet();
    page_.setExfileText(QStringLiteral("<"));
    status().setMessage(path + QStringLiteral("を登録しました。"));
}

QByteArray SheetStorage::storedBytes()
{
    QByteArray bytes;
    QBuffer stream(&bytes);
    stream.open(QIODevice::WriteOnly);
    ADOQuery1.fieldByName(kExcel).saveToStream(stream);
    return bytes;
}

SheetStorage::Stored SheetStorage::loadStored(bool catchSheetErrors)
{
    // The control reads from a memory block that starts with the stored
    // bytes and may run on past them.
    TGlobalMemoryStream stream;
    const QByteArray bytes = storedBytes();
    if (bytes.isEmpty())
        return Stored::None;
    if (!page_.mayReplaceShown())
        return Stored::Kept;
    stream.Write(bytes.constData(), bytes.size());
    stream.SetPosition(0);
    try {
        page_.loadFromMemoryHandle(stream.Handle());
    } catch (const ESheetError&) {
        if (!catchSheetErrors)
            throw;
        seam().message(QStringLiteral("不正な明細登録です!"));
        return Stored::Unreadable;
    }
    page_.shownFromRecord();
    return Stored::Shown;
}

void SheetStorage::ShowStoredSheet()
{
    switch (loadStored(true)) {
    case Stored::None:
        page_.setExfileText(QStringLiteral("なし!"));
        return;
    case Stored::Kept:
        return;
    case Stored::Shown:
    case Stored::Unreadable:
        page_.setExfileText(QStringLiteral("-"));
        return;
    }
}

void SheetStorage::ExportStoredSheet()
{
    switch (loadStored(false)) {
    case Stored::None:
        page_.setExfileText(QString());
        return;
    case Stored::Kept:
        return;
    default:
        break;
    }
    SaveDialog1.filter = kSaveFilter;
    if (!seam().saveFile(SaveDialog1))
        return;
    page_.saveWorkbook(xlsFileName(SaveDialog1.fileName));
    page_.setExfileText(QStringLiteral(">"));
}

void SheetStorage::InspectorBar2ItemClick(int panel, int item)
{
    if (panel != 0)
        return;
    switch (item) {
    case 0:
        ShowStoredSheet();
        break;
    case 1:
        if (!page_.mayReplaceShown())
            break;
        page_.book()->ClearWorkbook();
        page_.shownNothing();
        page_.setExfileText(QString());
        break;
    case 2:
        RegisterShownSheet();
        break;
    case 3:
        ExportStoredSheet();
        break;
    default:
        break;
    }
}

void SheetStorage::ToolbarButton974Click()
{
    if (page_.loadChosenFile(OpenDialog1).isEmpty())
        return;
    RegisterSheetFromFile();
}

void SheetStorage::PCheck2MouseUp(Qt::MouseButton button)
{
    if (button != Qt::RightButton)
        return;
    if (!seam().confirm(QStringLiteral("明細削除"), QStringLiteral("消去しますか？")))
        return;
    ADOQuery1.edit();
    // Not posted here: the next post or move writes it, a new search drops it.
    ADOQuery1.fieldByName(kExcel).clear();
    PCheck2->setChecked(false);
    page_.setExfileText(QString());
}

bool SheetStorage::BitBtn2DragOver(const QObject* source) const
{
    return sources_.accepts(source);
}

void SheetStorage::BitBtn2DragDrop(const QObject* source)
{
    const QString path = DraggedItemPath(source);
    if (path.isEmpty())
        return;
    if (!isDroppableSheet(path)) {
        seam().message(QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"));
        return;
    }
    if (!confirmRegistration())
        return;
    if (!page_.mayReplaceShown())
        return;
    TF5Book* book = page_.book();
    page_.load([&] { book->LoadWorkbook(path); });
    page_.shownFromFile(path);
    book->ApplyStandardView();
    // Declining the second question stores nothing, so nothing is reported.
    if (!RegisterShownSheet())
        return;
    page_.setExfileText(QStringLiteral("<-"));
    status().setMessage(path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
}

} // namespace tegaro::sheets
