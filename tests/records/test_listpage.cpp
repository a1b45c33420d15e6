// Page 一覧 in the window: it follows the navigator and the searches both
// ways, sorts only itself, shows the totals, reflects a posted change, and
// exports and prints what it shows.
#include "RecordsFixture.h"

#include "db/DataAccess.h"
#include "records/HouseListModel.h"
#include "records/ListPage.h"
#include "records/ListPrint.h"
#include "sheets/book/WorkbookFile.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/StatusPanelBar.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;
using records_test::ConnectedWindow;
using records_test::House;

namespace {
QList<House> town()
{
    return {{"山田", "2002-10-13 16:01:00", "北区", "増築あり", QByteArray("z")},
            {"山本", "2002-10-14 16:01:00", "北区", {}, {}, QByteArray("x")},
            {"小山", "2002-10-15 16:01:00", "南区"},
            {"O'Neil", {}, "南区"},
            {{}, "2002-10-15 22:22:56", "中央区"}};
}

// The owner names down the list, as shown.
QStringList shownOwners(QTableView* grid)
{
    QStringList out;
    const int column = listColumnOf("所有者氏名");
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, column).data().toString();
    return out;
}

// A list of n empty rows, for the page layout.
class BlankRows : public ListRows {
public:
    explicit BlankRows(int n) : n_(n) {}
    int count() const override { return n_; }
    ListCell cell(int, int) const override { return {}; }

private:
    int n_;
};

QString currentOwner(ConnectedWindow& w)
{
    return w.query().fieldByName("所有者氏名").asString();
}
} // namespace

class TestListPage : public QObject {
    Q_OBJECT
private slots:
    void followsNavigatorAndSearches()
    {
        ConnectedWindow w(town());
        ListPage* page = w.form->listPage();
        QTableView* grid = page->grid();
        w.form->pages()->setCurrentIndex(3);
        QCOMPARE(w.form->pages()->tabText(3), "一覧");
        QCOMPARE(shownOwners(grid), QStringList({"山田", "山本", "小山", "O'Neil", ""}));
        QCOMPARE(grid->currentIndex().row(), 0);

        // the navigator moves: the row follows
        w.query().last();
        QCOMPARE(grid->currentIndex().row(), 4);
        // a row chosen: the record follows, the page stays
        grid->setCurrentIndex(grid->model()->index(2, 0));
        QCOMPARE(currentOwner(w), "小山");
        QCOMPARE(w.form->pages()->currentIndex(), 3);
        // Enter opens 基本項目 at that record
        grid->setCurrentIndex(grid->model()->index(1, 0));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(w.form->pages()->currentIndex(), 0);
        QCOMPARE(currentOwner(w), "山本");

        // a search shows its result
        w.form->pages()->setCurrentIndex(3);
        auto* edit = w.find<QLineEdit>("Edit1");
        edit->setText("山");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(shownOwners(grid), QStringList({"山田", "山本"})); // the query's order: a search without an order of its own comes by key
        QCOMPARE(page->totalsLine()->text(), "件数 2　床面積 合計 0 ㎡　評点数 合計 0");
        QCOMPARE(grid->currentIndex().row(), 0);
        edit->setText("佐藤");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(page->totalsLine()->text(), "件数 0　床面積 合計 0 ㎡　評点数 合計 0");
        QVERIFY(w.seam.messages().isEmpty());
    }

    void sortsTheListOnly()
    {
        ConnectedWindow w(town());
        QTableView* grid = w.form->listPage()->grid();
        w.form->pages()->setCurrentIndex(3);
        const int column = listColumnOf("所有者氏名");
        QHeaderView* heading = grid->horizontalHeader();
        QTest::mouseClick(heading->viewport(), Qt::LeftButton, {},
                          QPoint(heading->sectionViewportPosition(column) + 10, heading->height() / 2));
        QCOMPARE(shownOwners(grid), QStringList({"O'Neil", "小山", "山本", "山田", ""}));
        // the navigator keeps the query's order
        w.query().first();
        QCOMPARE(currentOwner(w), "山田");
        QCOMPARE(grid->currentIndex().row(), 3);
        w.query().next();
        QCOMPARE(currentOwner(w), "山本");
        QCOMPARE(grid->currentIndex().row(), 2);
        QCOMPARE(w.query().sql(), QStringList({"select * from 基本データ"}));
        // a row chosen in the sorted list is that record
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QCOMPARE(currentOwner(w), "O'Neil");
    }

    // A screen of a sorted list is read in one go before it is painted,
    // not a page of the query for each of its rows.
    void readsASortedScreenAtOnce()
    {
        ConnectedWindow w({House{"家"}});
        const int n = 3000;
        {
            // names in an order far from the keys'
            Connection other;
            other.setTarget(sqliteFileTarget(w.path));
            other.exec("BEGIN");
            other.exec("DELETE FROM 基本データ");
            for (int i = 0; i < n; ++i)
                other.exec("INSERT INTO 基本データ (所有者氏名) VALUES (?)", {QString("家%1").arg(i * 7919 % n, 4, 10, QChar(u'0'))});
            other.exec("COMMIT");
        }
        RecordSet& q = w.query();
        q.refresh();
        QTableView* grid = w.form->listPage()->grid();
        w.form->pages()->setCurrentIndex(3);
        QVERIFY(q.isPaged());
        grid->horizontalHeader()->setSortIndicator(listColumnOf("所有者氏名"), Qt::AscendingOrder);
        grid->scrollTo(grid->model()->index(n / 2, 0), QAbstractItemView::PositionAtTop);
        grid->viewport()->repaint();
        const int shown = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize() + 1;
        QCOMPARE(grid->model()->index(n / 2, listColumnOf("所有者氏名")).data().toString(), QString("家%1").arg(n / 2));
        // the first page, read at open, and the rows on the screen
        QVERIFY2(q.keptRows() <= ResultRows::kPageRows + shown + 1, qPrintable(QString::number(q.keptRows())));
    }

    // The table gone under the list: painting shows empty rows, a sort is
    // refused with the database's message and leaves the list as it was.
    void survivesRowsThatCannotBeRead()
    {
        ConnectedWindow w({House{"家"}});
        const int n = 500;
        {
            Connection other;
            other.setTarget(sqliteFileTarget(w.path));
            other.exec("BEGIN");
            for (int i = 0; i < n; ++i)
                other.exec("INSERT INTO 基本データ (所有者氏名) VALUES (?)", {QString("家%1").arg(i)});
            other.exec("COMMIT");
        }
        RecordSet& q = w.query();
        q.refresh();
        QTableView* grid = w.form->listPage()->grid();
        w.form->pages()->setCurrentIndex(3);
        {
            Connection other;
            other.setTarget(sqliteFileTarget(w.path));
            other.exec("ALTER TABLE 基本データ RENAME TO 退避");
        }
        grid->scrollToBottom();
        grid->viewport()->repaint();
        QCOMPARE(grid->model()->index(n, listColumnOf("所有者氏名")).data().toString(), QString());
        QVERIFY(w.seam.messages().isEmpty());

        grid->horizontalHeader()->setSortIndicator(listColumnOf("所有者氏名"), Qt::DescendingOrder);
        QCOMPARE(w.seam.messages().size(), 1);
        QCOMPARE(w.form->listPage()->model()->sortColumn(), -1);
        QCOMPARE(grid->horizontalHeader()->sortIndicatorSection(), -1);
        QCOMPARE(grid->model()->index(0, listColumnOf("所有者氏名")).data().toString(), QString("家"));
    }

    void reflectsAPostedChange()
    {
        ConnectedWindow w(town());
        ListPage* page = w.form->listPage();
        w.form->pages()->setCurrentIndex(3);
        RecordSet& q = w.query();
        q.moveTo(2);
        q.edit();
        q.fieldByName("所有者氏名").setAsString("小川");
        q.fieldByName("床面積").setAsString("1234.5");
        q.fieldByName("評点数").setAsString("60000");
        q.post();
        QCOMPARE(shownOwners(page->grid())[2], "小川");
        QCOMPARE(page->grid()->model()->index(2, listColumnOf("床面積")).data().toString(), "1,234.5");
        QCOMPARE(page->totalsLine()->text(), "件数 5　床面積 合計 1,234.5 ㎡　評点数 合計 60,000");
        // marks from the sizes
        QCOMPARE(page->grid()->model()->index(0, listColumnOf("zumen")).data().toString(), "○");
        QCOMPARE(page->grid()->model()->index(1, listColumnOf("excel")).data().toString(), "○");
        QCOMPARE(page->grid()->model()->index(1, listColumnOf("zumen")).data().toString(), "");
        // an insert and its cancel come and go in the list
        q.append();
        QCOMPARE(page->grid()->model()->rowCount(), 6);
        QCOMPARE(page->grid()->currentIndex().row(), 5);
        q.cancel();
        QCOMPARE(page->grid()->model()->rowCount(), 5);
    }

    // Rows per page of the default paper, around the counts where the
    // totals line would spill over onto a page of its own.
    void printedPages_data()
    {
        const int per = ListPrintLayout::linesPerPage(ListPrintLayout::defaultPaper());
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("lastPageRows");
        QTest::newRow("none") << 0 << 1 << 0;
        QTest::newRow("one") << 1 << 1 << 1;
        QTest::newRow("page less one") << per - 1 << 1 << per - 1;
        QTest::newRow("page full") << per << 2 << 1;
        QTest::newRow("page and one") << per + 1 << 2 << 1;
        QTest::newRow("two pages less one") << 2 * per - 1 << 2 << per - 1;
        QTest::newRow("two pages full") << 2 * per << 3 << 1;
    }
    void printedPages()
    {
        QFETCH(int, rows);
        QFETCH(int, pages);
        QFETCH(int, lastPageRows);
        const int per = ListPrintLayout::linesPerPage(ListPrintLayout::defaultPaper());
        const BlankRows list(rows);
        const ListPrintLayout layout(list, "t", "totals");
        QCOMPARE(layout.pageCount(), pages);
        // every row once, in order, no page over full (the totals count as a line)
        int next = 0;
        for (int p = 0; p < pages; ++p) {
            QCOMPARE(layout.firstRow(p), next);
            next = p + 1 < pages ? layout.firstRow(p + 1) : rows;
            const int lines = next - layout.firstRow(p) + (p + 1 == pages ? 1 : 0);
            QVERIFY2(lines >= 1 && lines <= per, qPrintable(QString("page %1: %2 lines").arg(p).arg(lines)));
        }
        QCOMPARE(rows - layout.firstRow(pages - 1), lastPageRows);
    }

    void exportsAndPrintsWhatItShows()
    {
        ConnectedWindow w(town());
        ListPage* page = w.form->listPage();
        w.form->pages()->setCurrentIndex(3);
        // a column dragged to the front; sorted by owner descending
        QHeaderView* heading = page->grid()->horizontalHeader();
        heading->moveSection(heading->visualIndex(listColumnOf("所在区")), 0);
        heading->setSortIndicator(listColumnOf("所有者氏名"), Qt::DescendingOrder);

        const QString csv = w.dir.filePath("list.csv");
        w.seam.fileAnswers << csv;
        w.seam.filterAnswers << 1; // CSV UTF-8
        QTest::mouseClick(w.find<QToolButton>("ToolbarButton977"), Qt::LeftButton);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QVERIFY(lines[0].startsWith("\xEF\xBB\xBF所在区,所有者コード,所有者氏名,"));
        QVERIFY(lines[1].startsWith("北区,,山田,"));
        QVERIFY(lines[2].startsWith("北区,,山本,"));
        QVERIFY(lines[5].startsWith("中央区,,,"));
        QCOMPARE(w.form->statusBarPanels()->gauge(), 100);
        QVERIFY2(w.form->statusBarPanels()->message().contains("5 件"), qPrintable(w.form->statusBarPanels()->message()));

        // to a workbook: the same columns, order and rows
        const QString xlsx = w.dir.filePath("list.xlsx");
        w.seam.fileAnswers << xlsx;
        w.seam.filterAnswers << 0;
        w.form->statusBarPanels()->setGauge(0);
        QTest::mouseClick(w.find<QPushButton>("ListOutput"), Qt::LeftButton);
        const sheets::Workbook book = sheets::readWorkbookFile(xlsx);
        QCOMPARE(book.sheets[0].lastRow(), 5);
        QCOMPARE(book.cellText(0, 0, 0), "所在区");
        QCOMPARE(book.cellText(0, 1, 0), "北区");
        QCOMPARE(book.cellText(0, 1, 2), "山田");
        QCOMPARE(book.cellText(0, 2, 2), "山本");
        QCOMPARE(w.form->statusBarPanels()->gauge(), 100);

        // Shift-JIS of a name CP932 lacks: told, nothing written
        w.query().moveTo(0);
        w.query().edit();
        w.query().fieldByName("所有者氏名").setAsString("𠮷田");
        w.query().post();
        const QString sjis = w.dir.filePath("sjis.csv");
        w.seam.fileAnswers << sjis;
        w.seam.filterAnswers << 2;
        QTest::mouseClick(w.find<QPushButton>("ListOutput"), Qt::LeftButton);
        QVERIFY(!QFile::exists(sjis));
        QCOMPARE(w.seam.messages().size(), 1);
        QVERIFY2(w.seam.messages()[0].contains("所有者氏名「𠮷」"), qPrintable(w.seam.messages()[0]));

        // printed: a title with the search, pages counted
        const QString pdf = w.dir.filePath("list.pdf");
        w.seam.printAnswers << ScriptedSeam::PrintAnswer{pdf};
        QTest::mouseClick(w.find<QPushButton>("ListPrint"), Qt::LeftButton);
        QCOMPARE(w.seam.shown.last().kind, ScriptedSeam::Shown::Print);
        QCOMPARE(w.seam.shown.last().text, "1");
        QVERIFY(QFile(pdf).size() > 1000);
    }
};

QTEST_MAIN(TestListPage)
#include "test_listpage.moc"
