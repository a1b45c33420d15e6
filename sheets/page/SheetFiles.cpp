#include "sheets/page/SheetFiles.h"

#include "core/MatchWildcard.h"
#include "sheets/page/SheetPage.h"
#include "sheets/view/TF5Book.h"
#include "widgets/DropHelpers.h"
#include "widgets/UserSeam.h"

namespace tegaro::sheets {

namespace {
const QString kSaveFilter = QStringLiteral("明細ｼｰﾄ(*.XLS)|*.xls");
} // namespace

QString withAllBooks(const QString& filter)
{
    return filter + QStringLiteral("|すべてのブック (*.xls *.xlsx *.ods)|*.xls;*.xlsx;*.ods");
}

QString xlsFileName(const QString& chosen)
{
    if (chosen.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive))
        return chosen;
    return chosen + QStringLiteral(".xls");
}

bool isDroppableSheet(const QString& path)
{
    return MatchWildcard(path, QStringLiteral("*xls*")) || MatchWildcard(path, QStringLiteral("*.ods"));
}

SheetFiles::SheetFiles(SheetPage& page, FileDialogState& openDialog, FileDialogState& saveDialog,
                       const DragSources& sources)
    : page_(page), OpenDialog1(openDialog), SaveDialog1(saveDialog), sources_(sources)
{
}

void SheetFiles::MMenuClick()
{
    OpenDialog1.filter = withAllBooks(QStringLiteral("家屋明細書(*.xls)|*.xls"));
    const QString path = page_.loadChosenFile(OpenDialog1);
    if (path.isEmpty())
        return;
    page_.book()->ApplyStandardView();
    page_.setExfileText(path);
    status().setMessage(path + QStringLiteral("(明細)を読込みました。"));
}

void SheetFiles::ToolbarButton973Click()
{
    SaveDialog1.filter = kSaveFilter;
    SaveDialog1.fileName = page_.book()->CellText(1, 4, 4);
    if (!seam().saveFile(SaveDialog1))
        return;
    const QString path = xlsFileName(SaveDialog1.fileName);
    page_.book()->SaveWorkbook(path, 4);
    page_.savedShown(path);
    status().setMessage(QStringLiteral("明細を保存しました！"));
}

void SheetFiles::ToolbarButton971Click()
{
    // A cancelled print dialog printed nothing, so it reports nothing.
    if (page_.book()->PrintWorkbook([](const PrintJob& job) { return seam().print(job); }))
        status().setMessage(QStringLiteral("印刷完了！"));
}

void SheetFiles::FileDrop3Drop(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    showDropped(paths.first());
}

bool SheetFiles::F5Book1DragOver(const QObject* source) const
{
    return sources_.accepts(source);
}

void SheetFiles::F5Book1DragDrop(const QObject* source)
{
    const QString path = DraggedItemPath(source);
    if (path.isEmpty())
        return; // nothing selected in the list: nothing to read
    showDropped(path);
}

void SheetFiles::showDropped(const QString& path)
{
    if (!isDroppableSheet(path)) {
        seam().message(QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"));
        return;
    }
    if (!page_.mayReplaceShown())
        return;
    TF5Book* book = page_.book();
    page_.load([&] { book->LoadWorkbook(path); });
    page_.shownFromFile(path);
    status().setMessage(QStringLiteral("明細読込..."));
    page_.setExfileText(path);
    status().setMessage(page_.exfileText() + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
}

} // namespace tegaro::sheets
