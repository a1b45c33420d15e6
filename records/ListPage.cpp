#include "records/ListPage.h"

#include "core/ErrorGuard.h"
#include "db/DataAccess.h"
#include "records/HouseListModel.h"
#include "records/ListPrint.h"
#include "records/list/HouseSearch.h"
#include "records/list/ListExport.h"
#include "widgets/EventHook.h"
#include "widgets/Hint.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace tegaro {

namespace {
// Widths that fit the usual texts at the window's font, in pixels.
constexpr int kColumnWidths[] = {80, 100, 150, 60, 70, 112, 50, 70, 40, 80, 90, 70, 80, 150, 36, 36};

// The table asks for the rows it is about to paint in one go, so that a
// screen of a sorted list is not read a page per row.
class ListGrid : public QTableView {
public:
    using QTableView::QTableView;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (auto* list = qobject_cast<HouseListModel*>(model()); list && list->rowCount() > 0) {
            const int first = std::max(rowAt(0), 0);
            const int last = rowAt(viewport()->height() - 1);
            try {
                list->fetchRows(first, last < 0 ? list->rowCount() - 1 : last);
            } catch (...) {
                // nothing may leave a paint event: rows that cannot be read show empty
            }
        }
        QTableView::paintEvent(event);
    }
};
} // namespace

ListPage::ListPage(QWidget* page, DataAccess& data) : QObject(page), data_(data), page_(page)
{
    model_ = new HouseListModel(data.DataSource1, this);

    DBGrid1 = new ListGrid(page);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("一覧"));
    DBGrid1->setModel(model_);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setWordWrap(false);
    DBGrid1->setAlternatingRowColors(true);
    // Rows of one height: the view never measures 300,000 rows.
    QHeaderView* rowsHeader = DBGrid1->verticalHeader();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setDefaultSectionSize(20);
    rowsHeader->hide();
    QHeaderView* heading = DBGrid1->horizontalHeader();
    heading->setSectionsMovable(true);
    heading->setHighlightSections(false);
    for (int c = 0; c < model_->columnCount(); ++c)
        heading->resizeSection(c, kColumnWidths[c]);
    heading->setSortIndicatorClearable(true);
    heading->setSortIndicator(-1, Qt::AscendingOrder);
    heading->setSortIndicatorShown(true);
    heading->setSectionsClickable(true);

    ListTotal = new QLabel(page);
    ListTotal->setObjectName(QStringLiteral("ListTotal"));
    ListTotal->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ListOutput = new QPushButton(QStringLiteral("一覧出力"), page);
    ListOutput->setObjectName(QStringLiteral("ListOutput"));
    setHint(ListOutput, QStringLiteral("一覧をファイルに書き出します。"));
    ListPrint = new QPushButton(QStringLiteral("一覧印刷"), page);
    ListPrint->setObjectName(QStringLiteral("ListPrint"));
    setHint(ListPrint, QStringLiteral("一覧を印刷します。"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ListTotal, 1);
    bottom->addWidget(ListOutput);
    bottom->addWidget(ListPrint);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(bottom);

    ListSaveDialog.filter = exportFilter();
    ListSaveDialog.defaultExt = QStringLiteral("xlsx");
    ListSaveDialog.title = QStringLiteral("一覧出力");
    ListSaveDialog.fileName = QDir::home().filePath(QStringLiteral("家屋一覧.xlsx"));

    connect(model_, &HouseListModel::currentRowChanged, this, &ListPage::showCurrent);
    connect(model_, &HouseListModel::totalsChanged, this, [this] {
        totalsStale_ = true;
        if (page_->isVisible())
            showTotals();
    });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!following_ && current.isValid())
                    guarded([&] { rowChosen(current.row()); });
            });
    // Sorting reads a column of the whole query, which can fail.
    connect(heading, &QHeaderView::sortIndicatorChanged, this, [this](int column, Qt::SortOrder order) {
        guarded([&] {
            try {
                model_->sort(column, order);
            } catch (...) {
                const QSignalBlocker quiet(DBGrid1->horizontalHeader());
                DBGrid1->horizontalHeader()->setSortIndicator(model_->sortColumn(), order);
                throw;
            }
        });
    });
    connect(DBGrid1, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { guarded([&] { DBGrid1Activated(index.row()); }); });
    connect(ListOutput, &QPushButton::clicked, this, [this] { guarded([this] { ListOutputClick(); }); });
    connect(ListPrint, &QPushButton::clicked, this, [this] { guarded([this] { ListPrintClick(); }); });
    // The totals cost a pass over the query: worked out when the page shows.
    // The rows too: a query opened whole shows its first record before they
    // are counted, and the list shows them all.
    onEvent(page, QEvent::Show, [this](QEvent*) {
        model_->setRowsWanted(true);
        guarded([this] { model_->countRows(); });
        if (totalsStale_)
            showTotals();
        showCurrent(model_->currentRow());
        return false;
    });
    onEvent(page, QEvent::Hide, [this](QEvent*) {
        model_->setRowsWanted(false);
        return false;
    });
}

ListPage::~ListPage() = default;

void ListPage::showCurrent(int listRow)
{
    following_ = true;
    if (listRow < 0) {
        DBGrid1->selectionModel()->clear();
    } else {
        const QModelIndex index = model_->index(listRow, std::max(DBGrid1->currentIndex().column(), 0));
        DBGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (page_->isVisible())
            DBGrid1->scrollTo(index);
    }
    following_ = false;
}

void ListPage::rowChosen(int listRow)
{
    RecordSet* set = model_->set();
    const int row = model_->setRowOf(listRow);
    if (!set || row < 0 || row == set->recNo() - 1)
        return;
    try {
        set->moveTo(row); // posts an edited record first, as every move does
    } catch (...) {
        // the record stays where it was: so does the selection
        showCurrent(model_->currentRow());
        throw;
    }
}

void ListPage::DBGrid1Activated(int listRow)
{
    rowChosen(listRow);
    emit openRecord();
}

void ListPage::showTotals()
{
    totalsStale_ = false;
    ListTotal->setText(model_->rows() ? totalsText(model_->totals()) : QString());
}

QList<int> ListPage::shownColumns() const
{
    QHeaderView* heading = DBGrid1->horizontalHeader();
    QList<int> columns;
    for (int visual = 0; visual < heading->count(); ++visual) {
        const int logical = heading->logicalIndex(visual);
        if (!heading->isSectionHidden(logical))
            columns << logical;
    }
    return columns;
}

void ListPage::ListOutputClick()
{
    if (!model_->rows()) {
        seam().message(QStringLiteral("一覧がありません。データベースに接続してください。"));
        return;
    }
    if (!seam().saveFile(ListSaveDialog))
        return;
    const QString path = ListSaveDialog.fileName;
    status().setMessage(QStringLiteral("一覧を読み込んでいます…"));
    const ListTable rows = model_->table(shownColumns());

    QProgressDialog gauge(QStringLiteral("一覧を書き出しています…"), QStringLiteral("中止"), 0, 100, DBGrid1->window());
    gauge.setObjectName(QStringLiteral("ListProgress"));
    gauge.setWindowTitle(QStringLiteral("一覧出力"));
    gauge.setWindowModality(Qt::WindowModal);
    gauge.setMinimumDuration(500);
    gauge.setAutoReset(false);
    status().setGauge(0);
    const ListProgress progress = [&gauge](int done, int total) {
        const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
        status().setGauge(percent);
        gauge.setValue(percent); // lets the cancel button be pressed
        return !gauge.wasCanceled();
    };
    const ExportResult result = exportList(rows, path, exportFormatFor(ListSaveDialog.filterIndex, path), progress);
    gauge.reset();
    switch (result.outcome) {
    case ExportResult::Written:
        status().setGauge(100);
        status().setMessage(QStringLiteral("一覧を書き出しました（%1 件）：%2").arg(result.rows).arg(QDir::toNativeSeparators(path)));
        if (!result.message.isEmpty())
            seam().message(result.message);
        break;
    case ExportResult::Cancelled:
        status().setGauge(0);
        status().setMessage(QStringLiteral("一覧出力を中止しました。"));
        break;
    case ExportResult::Refused:
        status().setGauge(0);
        seam().message(result.message);
        break;
    }
}

void ListPage::ListPrintClick()
{
    RecordSet* set = model_->set();
    if (!model_->rows() || !set) {
        seam().message(QStringLiteral("一覧がありません。データベースに接続してください。"));
        return;
    }
    const ListTable rows = model_->table(shownColumns());
    const ListPrintLayout layout(rows, searchTitle(searchOf(*set)), totalsText(model_->totals()));
    PrintJob job;
    job.title = QStringLiteral("家屋一覧");
    job.pageCount = layout.pageCount();
    job.layout = ListPrintLayout::defaultPaper();
    job.paint = [&layout](QPagedPaintDevice& device, int first, int last) { layout.print(device, first, last); };
    if (seam().print(job))
        status().setMessage(QStringLiteral("一覧を印刷しました。"));
}

} // namespace tegaro
