#include "sheets/page/SheetPage.h"

#include "core/ErrorGuard.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/book/WorkbookFile.h"
#include "sheets/page/SheetFiles.h"
#include "sheets/page/SheetStorage.h"
#include "sheets/page/SheetWork.h"
#include "sheets/view/SheetGrid.h"
#include "sheets/view/TF5Book.h"
#include "widgets/DropHelpers.h"
#include "widgets/FileDropTarget.h"
#include "widgets/Hint.h"
#include "widgets/PageMenu.h"
#include "widgets/UserSeam.h"

#include <QFileInfo>
#include <QLineEdit>

namespace tegaro::sheets {

SheetPage::SheetPage(QWidget* page, const Frame& frame) : QObject(page), exfile_(frame.exfile)
{
    InspectorBar2 = addPageMenu(page, "InspectorBar2", QStringLiteral("明細メニュー"), SideMenu::ItemStyle::SmallIcons,
                                {{"明細表示", "item-show"}, {"明細消去", "item-clear"}, {"明細登録", "item-register"}, {"明細書出", "item-export"}});
    ShellListView1 = addFileList(InspectorBar2, QStringLiteral("明細ファイル"), "ShellListView1");

    F5Book1 = new TF5Book(page);
    F5Book1->setObjectName(QStringLiteral("F5Book1"));
    F5Book1->setGeometry(148, 8, 710, 433);
    setHint(F5Book1, QStringLiteral("明細シートのドロップが出来ます。"));

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
    load([&] { F5Book1->LoadWorkbook(path); });
    return path;
}

void SheetPage::setExfileText(const QString& text) { exfile_->setText(text); }
QString SheetPage::exfileText() const { return exfile_->text(); }

} // namespace tegaro::sheets
