#include "sheets/page/SheetPage.h"

#include "core/ErrorGuard.h"
#include "db/RecordSet.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/book/WorkbookFile.h"
#include "sheets/page/SheetFiles.h"
#include "sheets/page/SheetStorage.h"
#include "sheets/page/SheetWork.h"
#include "sheets/view/SheetGrid.h"
#include "sheets/view/TF5Book.h"
#include "widgets/Anchors.h"
#include "widgets/DropHelpers.h"
#include "widgets/FileDropTarget.h"
#include "widgets/Hint.h"
#include "widgets/PageMenu.h"
#include "widgets/UserSeam.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace tegaro::sheets {

namespace {
constexpr int kOriginLineHeight = 16;
} // namespace

SheetPage::SheetPage(QWidget* page, const Frame& frame)
    : QObject(page), exfile_(frame.exfile), records_(frame.ADOQuery1)
{
    InspectorBar2 = addPageMenu(page, "InspectorBar2", QStringLiteral("明細メニュー"), SideMenu::ItemStyle::SmallIcons,
                                {{"明細表示", "item-show"}, {"明細消去", "item-clear"}, {"明細登録", "item-register"}, {"明細書出", "item-export"}});
    ShellListView1 = addFileList(InspectorBar2, QStringLiteral("明細ファイル"), "ShellListView1");

    F5Book1 = new TF5Book(page);
    F5Book1->setObjectName(QStringLiteral("F5Book1"));
    // 710 x 433 less the line below it that says whose sheet is shown
    F5Book1->setGeometry(148, 8, 710, 433 - kOriginLineHeight - 4);
    setAnchors(F5Book1, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    setHint(F5Book1, QStringLiteral("明細シートのドロップが出来ます。"));
    // whose sheet is shown, in a line below it
    originLine_ = new QLabel(page);
    originLine_->setObjectName(QStringLiteral("SheetOrigin"));
    originLine_->setGeometry(148, 8 + 433 - kOriginLineHeight, 710, kOriginLineHeight);
    originLine_->setTextFormat(Qt::PlainText);
    setAnchors(originLine_, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);

    files_ = std::make_unique<SheetFiles>(*this, *frame.OpenDialog1, *frame.SaveDialog1, *frame.dragSources);
    storage_ = std::make_unique<SheetStorage>(*this, *frame.ADOQuery1, frame.PCheck2, *frame.OpenDialog1,
                                              *frame.SaveDialog1, *frame.dragSources);
    wire();
}

SheetPage::~SheetPage() = default;

void SheetPage::wire()
{
    // what the control has to tell goes to the user from here
    connect(F5Book1, &TF5Book::told, this, [](const QString& text) { seam().message(text); });
    connect(F5Book1, &TF5Book::failed, this, [](const QString& text) { seam().error(text); });
    SheetFiles* files = files_.get();
    auto* FileDrop3 = new FileDropTarget(F5Book1);
    FileDrop3->setObjectName(QStringLiteral("FileDrop3"));
    connect(FileDrop3, &FileDropTarget::dropped, this,
            [files](const QStringList& paths) { guarded([&] { files->FileDrop3Drop(paths); }); });
    takeListDrops(
        F5Book1, [files](const QObject* source) { return files->F5Book1DragOver(source); },
        [files](const QObject* source) { files->F5Book1DragDrop(source); });

    connect(F5Book1, &TF5Book::contentChanged, this, &SheetPage::showOrigin);

    SheetStorage* storage = storage_.get();
    connect(InspectorBar2, &SideMenu::itemClicked, this,
            [storage](int p, int i) { guarded([=] { storage->InspectorBar2ItemClick(p, i); }); });
}

void SheetPage::load(const std::function<void()>& loading)
{
    loading();
    const QString leftOut = leftOutMessage(F5Book1->book().workbook());
    if (!leftOut.isEmpty())
        seam().message(leftOut);
}

namespace {
// About what a workbook takes as .xls bytes, to know ahead whether
// writing it takes long.
qint64 estimatedBytes(const Workbook& book)
{
    qint64 cells = 0;
    for (const Sheet& s : book.sheets)
        cells += s.cellCount();
    return cells * 24;
}
} // namespace

void SheetPage::finishEntry()
{
    F5Book1->grid()->finishEdit();
}

void SheetPage::saveToMemoryHandle(HGLOBAL& handle)
{
    finishEntry();
    const TSheetBook& engine = F5Book1->book();
    runAside(estimatedBytes(engine.workbook()), [&] { engine.SaveToMemoryHandle(handle, 0); });
}

void SheetPage::loadFromMemoryHandle(HGLOBAL handle)
{
    const qint64 size = qint64(GlobalSize(handle));
    const char* bytes = static_cast<const char*>(GlobalLock(handle));
    if (!bytes)
        throw ESheetError(QStringLiteral("メモリブロックを読めません。"));
    Workbook read;
    try {
        runAside(size, [&] { read = readWorkbook(QByteArray::fromRawData(bytes, size)); });
    } catch (...) {
        GlobalUnlock(handle);
        throw;
    }
    GlobalUnlock(handle);
    load([&] { F5Book1->book().setWorkbook(std::move(read)); });
}

void SheetPage::saveWorkbook(const QString& path)
{
    finishEntry();
    const TSheetBook& engine = F5Book1->book();
    runAside(estimatedBytes(engine.workbook()), [&] { engine.SaveWorkbook(path, 4); });
}

QString SheetPage::loadChosenFile(FileDialogState& dialog)
{
    if (!seam().openFile(dialog))
        return {};
    const QString path = dialog.fileName;
    if (!QFileInfo(path).isFile()) {
        seam().message(QStringLiteral("そのシートはありません!"));
        return {};
    }
    if (!mayReplaceShown())
        return {};
    load([&] { F5Book1->LoadWorkbook(path); });
    shownFromFile(path);
    return path;
}

namespace {
const QString kCodeField = QStringLiteral("所有者コード");
const QString kNameField = QStringLiteral("所有者氏名");
const QString kKeyField = QStringLiteral("ID");

// The key of the current house record; null where there is none yet.
QVariant currentKey(const RecordSet& records)
{
    if (!records.isOpen() || !records.hasField(kKeyField))
        return {};
    return const_cast<RecordSet&>(records).fieldByName(kKeyField).value();
}
} // namespace

QString SheetPage::currentOwner() const
{
    if (!records_ || !records_->isOpen() || !records_->hasField(kCodeField) || !records_->hasField(kNameField))
        return {};
    return (records_->fieldByName(kCodeField).asString() + u' ' + records_->fieldByName(kNameField).asString()).trimmed();
}

void SheetPage::shownFromRecord()
{
    origin_ = {Origin::Record, currentOwner(), records_ ? currentKey(*records_) : QVariant()};
    F5Book1->markKept();
}

void SheetPage::shownFromFile(const QString& path)
{
    origin_ = {Origin::File, QDir::toNativeSeparators(path), {}};
    F5Book1->markKept();
}

void SheetPage::shownNothing()
{
    origin_ = {};
    F5Book1->markKept();
}

bool SheetPage::fromOtherRecord() const
{
    if (origin_.kind != Origin::Record || !records_)
        return false;
    const QVariant key = currentKey(*records_);
    if (!key.isNull() && !origin_.key.isNull())
        return key != origin_.key;
    return currentOwner() != origin_.label;
}

bool SheetPage::mayReplaceShown()
{
    if (!F5Book1->hasEdits())
        return true;
    if (!seam().confirm(QStringLiteral("明細変更"), QStringLiteral("表示中の明細の変更は登録されていません。破棄しますか？")))
        return false;
    // the entry being typed goes with the sheet
    F5Book1->grid()->cancelEdit();
    return true;
}

void SheetPage::registeredShown() { shownFromRecord(); }

void SheetPage::savedShown(const QString& path)
{
    // a sheet of a house record stays that record's until it is registered
    if (origin_.kind == Origin::Record)
        return;
    shownFromFile(path);
}

void SheetPage::showOrigin()
{
    QString text = origin_.label;
    if (F5Book1->book().edited())
        text += QStringLiteral("（未登録の変更あり）");
    originLine_->setText(text);
}

void SheetPage::setExfileText(const QString& text) { exfile_->setText(text); }
QString SheetPage::exfileText() const { return exfile_->text(); }

} // namespace tegaro::sheets
