// The detail sheet kept in the house record, through the main window, on
// SQLite files and through ODBC with the SQLite ODBC driver.
#include "RecordsFixture.h"

#include "../db/DbFixture.h"
#include "db/DataAccess.h"
#include "records/RecordSearch.h"
#include "records/RecordPage.h"
#include "sheets/memory/GlobalMemory.h"
#include "sheets/page/SheetFiles.h"
#include "sheets/page/SheetPage.h"
#include "sheets/page/SheetStorage.h"
#include "sheets/view/TF5Book.h"
#include "support/SheetSamples.h"
#include "widgets/FlatEdit.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/ShellListView.h"
#include "widgets/SideMenu.h"
#include "widgets/StatusPanelBar.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;
using dbtest::Backend;
using records_test::ConnectedWindow;
using records_test::House;
using records_test::writeFile;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kAoki = QStringLiteral("青木");
const QString kBaba = QStringLiteral("馬場");

struct Storage : ConnectedWindow {
    explicit Storage(const QList<House>& houses, Backend backend = Backend::Sqlite) : ConnectedWindow(houses)
    {
        if (backend == Backend::Sqlite)
            return;
        // The same file again, now through ODBC.
        DataAccess* data = form->data();
        data->ADOConnection1->setTarget(dbtest::targetFor(backend, path));
        data->ADOConnection1->open();
        data->ADOQuery1->open();
        data->ADOTable2->open();
    }
    sheets::SheetStorage& storage() { return form->sheetPage()->storage(); }
    sheets::TF5Book* book() { return form->sheetPage()->book(); }
    QString exfile() { return find<FlatEdit>("exfile")->text(); }
    QString status() { return form->statusBarPanels()->message(); }
    QByteArray excel(const QString& owner) { return stored(QStringLiteral("excel"), owner).toByteArray(); }
    ImageCheckLabel* mark() { return find<ImageCheckLabel>("PCheck2"); }
    void menu(int item) { form->sheetPage()->sideMenu()->itemButton(0, item)->click(); }
    void click(const char* button) { find<QToolButton>(button)->click(); }
    QString cell(int row, int col) { return book()->CellText(1, row, col); }
};

void addBackends()
{
    QTest::addColumn<Backend>("backend");
}

} // namespace

class TestSheetStorage : public QObject {
    Q_OBJECT
private:
    QTemporaryDir files;

    static bool skipMissing(Backend backend)
    {
        const QString missing = dbtest::backendMissing(backend);
        if (missing.isEmpty())
            return false;
        QTest::qSkip(qPrintable(missing), __FILE__, __LINE__);
        return true;
    }

private slots:
    void storedBytesComeBackUnchanged_data()
    {
        QTest::addColumn<Backend>("backend");
        QTest::addColumn<qint64>("size");
        for (Backend b : {Backend::Sqlite, Backend::OdbcSqlite}) {
            const QString name = dbtest::backendName(b);
            for (qint64 size : {0LL, 1LL, 100LL * 1024, 20LL * 1024 * 1024})
                QTest::addRow("%s %lld", qPrintable(name), size) << b << size;
        }
    }
    // A file registered from the dialog is stored as its bytes, whatever
    // they are, and shows again after a move away and back.
    void storedBytesComeBackUnchanged()
    {
        QFETCH(Backend, backend);
        QFETCH(qint64, size);
        if (skipMissing(backend))
            return;
        QByteArray bytes;
        if (size == 1)
            bytes = "x";
        else if (size > 1)
            bytes = testing::largeSheetBytes(size);
        const QString path = writeFile(files, QStringLiteral("sizes/%1.xls").arg(size), bytes);
        Storage w({{kAoki}, {kBaba}}, backend);
        w.seam.fileAnswers << path;
        w.storage().RegisterSheetFromFile();
        QCOMPARE(w.seam.shown.first().text, QStringLiteral("明細ファイル (*.xls)|*.xls"
                                                           "|すべてのブック (*.xls *.xlsx *.ods)|*.xls;*.xlsx;*.ods"));
        QCOMPARE(w.excel(kAoki), bytes);
        QVERIFY(w.mark()->isChecked());
        QCOMPARE(w.exfile(), QStringLiteral("<"));
        QCOMPARE(w.status(), path + QStringLiteral("を登録しました。"));
        QCOMPARE(w.seam.messages(), size == 1 ? QStringList{QStringLiteral("不正な明細登録です!")} : QStringList{});

        w.book()->ClearWorkbook();
        w.query().next();
        w.query().prior();
        w.seam.clear();
        // A large sheet is read while the window goes on with its events.
        int ticks = 0;
        QTimer ticking;
        connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
        ticking.start(20);
        w.menu(0); // 明細表示
        ticking.stop();
        QCOMPARE(w.exfile(), size == 0 ? QStringLiteral("なし!") : QStringLiteral("-"));
        if (size > 1)
            QCOMPARE(w.cell(1, 1), QStringLiteral("家屋0-0-0"));
        QCOMPARE(w.excel(kAoki), bytes); // showing writes nothing
        if (size >= 20 * 1024 * 1024) {
            QVERIFY(ticks > 0);
            QCOMPARE(w.form->statusBarPanels()->gauge(), 100);
            // and registered again from the control, into the other record
            w.query().next();
            w.seam.confirmAnswers << true;
            ticks = 0;
            ticking.start(20);
            w.menu(2);
            ticking.stop();
            QVERIFY(ticks > 0);
            QVERIFY(w.excel(kBaba).size() > size / 2);
            w.book()->ClearWorkbook();
            w.menu(0);
            QCOMPARE(w.cell(1, 1), QStringLiteral("家屋0-0-0"));
        }
        QCOMPARE(GlobalBlockCount(), 0);
    }

    void packagesAreStoredAsTheyAre_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("told"); // messages of what was left out, at each showing
        QTest::newRow("xlsx") << "detail.xlsx" << 0;
        QTest::newRow("ods") << "detail.ods" << 0;
    }
    // Today's files are kept as their own bytes and read back from them;
    // what an .xls cannot hold is told at each showing.
    void packagesAreStoredAsTheyAre()
    {
        QFETCH(QString, name);
        QFETCH(int, told);
        const QString path = QStringLiteral(TEGARO_FIXTURES "/sheets/") + name;
        Storage w({{kAoki}, {kBaba}});
        w.seam.fileAnswers << path;
        w.storage().RegisterSheetFromFile();
        QCOMPARE(w.excel(kAoki), fileBytes(path));
        QVERIFY2(w.seam.messages().size() == told, qPrintable(w.seam.messages().join(u'\n')));
        w.query().next();
        w.query().prior();
        w.book()->ClearWorkbook();
        w.seam.clear();
        w.menu(0);
        QCOMPARE(w.cell(2, 2), QStringLiteral("山田　太郎①"));
        QVERIFY2(w.seam.messages().size() == told, qPrintable(w.seam.messages().join(u'\n')));
        QCOMPARE(w.exfile(), QStringLiteral("-"));
    }

    void registerTheShownSheet_data()
    {
        addBackends();
        QTest::newRow("SQLite") << Backend::Sqlite;
        QTest::newRow("ODBC") << Backend::OdbcSqlite;
    }
    // 明細登録 stores what the control holds, edits included; the stored
    // image, spare bytes after it or not, comes back with 明細表示.
    void registerTheShownSheet()
    {
        QFETCH(Backend, backend);
        if (skipMissing(backend))
            return;
        Storage w({{kAoki}, {kBaba}}, backend);
        const QString path = writeFile(files, QStringLiteral("shown/a.xls"),
                                       testing::assessmentSheetBytes(QStringLiteral("青木　一郎"), {}, {}));
        w.book()->LoadWorkbook(path);
        w.book()->book().SetEntry(0, 9, 0, QStringLiteral("書き足し"));
        w.mark()->setChecked(false);
        w.seam.confirmAnswers << false << true;
        w.menu(2);
        QVERIFY(w.excel(kAoki).isEmpty()); // cancelled
        QCOMPARE(w.seam.shown.last().caption, QStringLiteral("明細登録"));
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("登録しますか？"));
        w.menu(2);
        QVERIFY(!w.excel(kAoki).isEmpty());
        QCOMPARE(w.exfile(), QStringLiteral("登録!"));
        QCOMPARE(w.status(), QStringLiteral(" >>>表示明細を登録しました。"));
        QVERIFY(!w.mark()->isChecked()); // left as it was
        QCOMPARE(w.query().state(), DataSetState::Browse);

        // Another record with the stored image and spare bytes after it.
        w.query().next();
        w.query().edit();
        w.query().fieldByName(QStringLiteral("excel")).setBytes(w.excel(kAoki) + QByteArray(4096, '\0'));
        w.query().post();
        w.menu(1); // 明細消去
        QCOMPARE(w.exfile(), QString());
        QCOMPARE(w.cell(4, 4), QString());
        w.menu(0);
        QCOMPARE(w.cell(4, 4), QStringLiteral("青木　一郎"));
        QCOMPARE(w.cell(10, 1), QStringLiteral("書き足し"));
        QCOMPARE(w.exfile(), QStringLiteral("-"));
    }

    // On an empty query 明細登録 makes a house record holding only the sheet.
    void registerIntoAnEmptyQuery()
    {
        Storage w({});
        w.seam.confirmAnswers << true;
        w.menu(2);
        QCOMPARE(w.storedCount(), 1);
        QVERIFY(w.query().fieldByName(QStringLiteral("excel")).blobSize() > 0);
        QCOMPARE(w.exfile(), QStringLiteral("登録!"));
    }

    void storedBytesTheControlCannotRead()
    {
        Storage w({{kAoki, {}, {}, {}, {}, QByteArray("not a workbook at all")}});
        const QString path = writeFile(files, QStringLiteral("bad/a.xls"), testing::assessmentSheetBytes(kBaba, {}, {}));
        w.book()->LoadWorkbook(path);
        w.menu(0);
        QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("不正な明細登録です!")});
        QCOMPARE(w.exfile(), QStringLiteral("-"));
        QCOMPARE(w.cell(4, 4), kBaba); // the control keeps what it showed
        // Exporting them is an error, and nothing is written.
        w.seam.clear();
        w.seam.fileAnswers << files.filePath(QStringLiteral("bad/out"));
        w.menu(3);
        QCOMPARE(w.seam.shown.last().kind, ScriptedSeam::Shown::Error);
        QVERIFY(!QFileInfo::exists(files.filePath(QStringLiteral("bad/out.xls"))));
        QCOMPARE(w.exfile(), QStringLiteral("-"));
    }

    void exportTheStoredSheet_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("typed name") << "abc"
                                    << "abc.xls";
        QTest::newRow("existing name") << "abc.xls"
                                       << "abc.xls";
        QTest::newRow("capitals") << "ABC.XLS"
                                  << "ABC.XLS";
        QTest::newRow("other extension") << "abc.txt"
                                         << "abc.txt.xls";
    }
    void exportTheStoredSheet()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir out;
        Storage w({{kAoki, {}, {}, {}, {}, testing::assessmentSheetBytes(kAoki, {}, {})}, {kBaba}});
        w.seam.fileAnswers << out.filePath(typed);
        w.menu(3);
        QCOMPARE(w.seam.shown.first().text, QStringLiteral("明細ｼｰﾄ(*.XLS)|*.xls"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{written});
        QCOMPARE(w.exfile(), QStringLiteral(">"));
        w.book()->LoadWorkbook(out.filePath(written));
        QCOMPARE(w.cell(4, 4), kAoki);

        // Cancelled: the stored sheet stays shown, the mark stays.
        w.book()->ClearWorkbook();
        w.menu(3);
        QCOMPARE(w.cell(4, 4), kAoki);
        QCOMPARE(w.exfile(), QStringLiteral(">"));
        // No sheet: no dialog, an empty mark.
        w.query().next();
        w.seam.clear();
        w.menu(3);
        QVERIFY(w.seam.shown.isEmpty());
        QCOMPARE(w.exfile(), QString());
    }

    void dropOnTheRegisterButton_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("shown");
        QTest::newRow("both confirmed") << QList<bool>{true, true} << true << true;
        QTest::newRow("second cancelled") << QList<bool>{true, false} << false << true;
        QTest::newRow("first cancelled") << QList<bool>{false} << false << false;
    }
    void dropOnTheRegisterButton()
    {
        QFETCH(QList<bool>, answers);
        QFETCH(bool, stored);
        QFETCH(bool, shown);
        Storage w({{kAoki}});
        const QString sheet = writeFile(files, QStringLiteral("drop/meisai.xls"), testing::assessmentSheetBytes(kBaba, {}, {}));
        const QString other = writeFile(files, QStringLiteral("drop/plan.hbd"), "not a sheet");
        ShellListView* list = w.form->sheetPage()->fileList();
        list->showFolder(QFileInfo(sheet).absolutePath());
        QTRY_VERIFY(list->selectPath(other));
        QVERIFY(w.storage().BitBtn2DragOver(list));
        w.storage().BitBtn2DragDrop(list);
        QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});

        QVERIFY(list->selectPath(sheet));
        w.menu(0); // exfile "なし!" from the load before
        const QString statusBefore = w.status();
        w.seam.clear();
        for (bool a : answers)
            w.seam.confirmAnswers << a;
        w.storage().BitBtn2DragDrop(list);
        QCOMPARE(w.seam.shown.size(), answers.size());
        QCOMPARE(w.excel(kAoki).isEmpty(), !stored);
        QCOMPARE(w.cell(4, 4), shown ? kBaba : QString());
        if (stored) {
            QCOMPARE(w.exfile(), QStringLiteral("<-"));
            QCOMPARE(w.status(), sheet + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
        } else {
            QCOMPARE(w.exfile(), QStringLiteral("なし!"));
            QCOMPARE(w.status(), statusBefore);
            QCOMPARE(w.query().state(), DataSetState::Browse);
        }
    }

    void registerAChosenFile()
    {
        Storage w({{kAoki}});
        const QString first = writeFile(files, QStringLiteral("chosen/first.xls"), testing::assessmentSheetBytes(kAoki, {}, {}));
        const QString second = writeFile(files, QStringLiteral("chosen/second.xls"), testing::assessmentSheetBytes(kBaba, {}, {}));
        // A name that is no file stops at once.
        w.seam.fileAnswers << files.filePath(QStringLiteral("chosen"));
        w.click("ToolbarButton974");
        QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("そのシートはありません!")});
        // Cancelling the second dialog leaves the first file shown, nothing stored.
        w.seam.clear();
        w.seam.fileAnswers << first << QString();
        w.click("ToolbarButton974");
        QCOMPARE(w.seam.shown.size(), 2);
        QCOMPARE(w.cell(4, 4), kAoki);
        QVERIFY(w.excel(kAoki).isEmpty());
        // Two dialogs; the second file is the one stored and shown.
        w.seam.fileAnswers << first << second;
        w.click("ToolbarButton974");
        QCOMPARE(w.excel(kAoki), fileBytes(second));
        QCOMPARE(w.cell(4, 4), kBaba);
        QCOMPARE(w.exfile(), QStringLiteral("<"));
        QVERIFY(w.mark()->isChecked());
    }

    void deleteWithARightClick_data()
    {
        QTest::addColumn<bool>("newSearch");
        QTest::newRow("move and back") << false;
        QTest::newRow("new search") << true;
    }
    // The deletion waits for the next post: a move writes it, a new search drops it.
    void deleteWithARightClick()
    {
        QFETCH(bool, newSearch);
        const QByteArray sheet = testing::assessmentSheetBytes(kAoki, {}, {});
        Storage w({{kAoki, {}, {}, {}, {}, sheet}, {kBaba}});
        w.mark()->show();
        QTest::mouseClick(w.mark(), Qt::LeftButton);
        QCOMPARE(w.excel(kAoki), sheet); // a left click never deletes
        w.seam.confirmAnswers << false << true;
        QTest::mouseClick(w.mark(), Qt::RightButton);
        QCOMPARE(w.query().state(), DataSetState::Browse);
        QTest::mouseClick(w.mark(), Qt::RightButton);
        QCOMPARE(w.seam.shown.last().caption, QStringLiteral("明細削除"));
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("消去しますか？"));
        QVERIFY(!w.mark()->isChecked());
        QCOMPARE(w.exfile(), QString());
        QCOMPARE(w.query().state(), DataSetState::Edit);
        if (newSearch) {
            w.form->recordPage()->search()->Edit1KeyDown(13, QStringLiteral("青"));
        } else {
            w.query().next();
            w.query().prior();
        }
        w.menu(0);
        QCOMPARE(w.exfile(), newSearch ? QStringLiteral("-") : QStringLiteral("なし!"));
        QCOMPARE(w.excel(kAoki).isEmpty(), !newSearch);
    }

    void unregisteredEditsAreAsked_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("edited");
        for (const char* op : {"明細表示", "明細消去", "明細書出", "明細読込", "drop", "974"})
            for (bool edited : {false, true})
                QTest::addRow("%s, %s", op, edited ? "edited" : "as shown") << QString::fromUtf8(op) << edited;
    }
    // An operation that would replace or clear a sheet with unregistered
    // edits asks first; Cancel keeps the sheet and its edits. Without edits
    // nothing is asked.
    void unregisteredEditsAreAsked()
    {
        QFETCH(QString, operation);
        QFETCH(bool, edited);
        const QByteArray stored = testing::assessmentSheetBytes(kAoki, {}, {});
        Storage w({{kAoki, {}, {}, {}, {}, stored}});
        const QString file = writeFile(files, QStringLiteral("asked/baba.xls"), testing::assessmentSheetBytes(kBaba, {}, {}));
        QTemporaryDir written;
        const QString out = written.filePath(QStringLiteral("out"));
        w.menu(0);
        QCOMPARE(w.cell(4, 4), kAoki);
        if (edited)
            w.book()->book().SetEntry(0, 9, 0, QStringLiteral("書き足し"));
        const QString exfileBefore = w.exfile();
        auto run = [&] {
            w.seam.fileAnswers.clear();
            if (operation == u"明細表示")
                w.menu(0);
            else if (operation == u"明細消去")
                w.menu(1);
            else if (operation == u"明細書出") {
                w.seam.fileAnswers << out;
                w.menu(3);
            } else if (operation == u"明細読込") {
                w.seam.fileAnswers << file;
                w.click("MMenu");
            } else if (operation == u"drop") {
                w.form->sheetPage()->files().FileDrop3Drop({file});
            } else {
                w.seam.fileAnswers << file << QString();
                w.click("ToolbarButton974");
            }
        };
        const QString question = QStringLiteral("表示中の明細の変更は登録されていません。破棄しますか？");
        w.seam.clear();
        if (edited) {
            w.seam.confirmAnswers << false;
            run();
            QCOMPARE(w.seam.shown.last().caption, QStringLiteral("明細変更"));
            QCOMPARE(w.seam.shown.last().text, question);
            QCOMPARE(w.cell(10, 1), QStringLiteral("書き足し"));
            QCOMPARE(w.exfile(), exfileBefore);
            QVERIFY(w.book()->hasEdits());
            QVERIFY(!QFileInfo::exists(out + QStringLiteral(".xls")));
            w.seam.clear();
            w.seam.confirmAnswers << true;
        }
        run();
        QStringList asked;
        for (const auto& shown : w.seam.shown)
            if (shown.kind == ScriptedSeam::Shown::Confirm)
                asked << shown.text;
        QCOMPARE(asked, edited ? QStringList{question} : QStringList{});
        QCOMPARE(w.cell(10, 1), QString()); // the edit is gone
        QVERIFY(!w.book()->hasEdits());
        const bool fromFile = operation == u"明細読込" || operation == u"drop" || operation == u"974";
        QCOMPARE(w.cell(4, 4), fromFile ? kBaba : operation == u"明細消去" ? QString()
                                                                           : kAoki);
    }

    // The line below the sheet says whose it is; registering one owner's
    // sheet into another's record names both.
    void theSheetSaysWhoseItIs()
    {
        Storage w({{kAoki, {}, {}, {}, {}, testing::assessmentSheetBytes(kAoki, {}, {})}, {kBaba}});
        auto* line = w.find<QLabel>("SheetOrigin");
        QVERIFY(line);
        QCOMPARE(line->text(), QString());
        w.menu(0);
        QCOMPARE(line->text(), kAoki);
        w.book()->book().SetEntry(0, 9, 0, QStringLiteral("書き足し"));
        QCOMPARE(line->text(), kAoki + QStringLiteral("（未登録の変更あり）"));

        // on to 馬場: the question names both houses
        w.query().next();
        QCOMPARE(line->text(), kAoki + QStringLiteral("（未登録の変更あり）"));
        w.seam.confirmAnswers << false;
        w.menu(2);
        QCOMPARE(w.seam.shown.last().caption, QStringLiteral("明細登録"));
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("表示中の明細は 青木 の家屋のものです。馬場 の家屋に登録しますか？"));
        QVERIFY(w.excel(kBaba).isEmpty());
        w.seam.confirmAnswers << true;
        w.menu(2);
        QVERIFY(!w.excel(kBaba).isEmpty());
        QCOMPARE(line->text(), kBaba); // now 馬場's, with nothing unregistered
        // back in 青木's record the question names them again
        w.query().prior();
        w.seam.confirmAnswers << false;
        w.menu(2);
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("表示中の明細は 馬場 の家屋のものです。青木 の家屋に登録しますか？"));

        // from a file, or an empty control, the plain question
        const QString file = writeFile(files, QStringLiteral("whose/baba.xls"), testing::assessmentSheetBytes(kBaba, {}, {}));
        w.seam.fileAnswers << file;
        w.click("MMenu");
        QCOMPARE(line->text(), QDir::toNativeSeparators(file));
        w.seam.confirmAnswers << false;
        w.menu(2);
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("登録しますか？"));
        w.menu(1);
        QCOMPARE(line->text(), QString());
        w.seam.confirmAnswers << false;
        w.menu(2);
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("登録しますか？"));
    }

    // Closing asks when the sheet or the record holds what was not stored.
    void closingWithEditsAsks_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("nothing") << "";
        QTest::newRow("sheet") << "sheet";
        QTest::newRow("record") << "record";
        QTest::newRow("sheet, registered") << "registered";
    }
    void closingWithEditsAsks()
    {
        QFETCH(QString, edit);
        Storage w({{kAoki}});
        w.form->show();
        if (edit == u"sheet" || edit == u"registered")
            w.book()->book().SetEntry(0, 0, 0, QStringLiteral("1"));
        if (edit == u"registered") {
            w.seam.confirmAnswers << true;
            w.menu(2);
        }
        if (edit == u"record") {
            w.query().edit();
            w.query().fieldByName(QStringLiteral("備考")).setAsString(QStringLiteral("書きかけ"));
        }
        const bool asks = edit == u"sheet" || edit == u"record";
        w.seam.clear();
        w.seam.confirmAnswers << false;
        QCOMPARE(w.form->close(), !asks);
        QCOMPARE(w.seam.shown.size(), asks ? 1 : 0);
        if (asks) {
            QCOMPARE(w.seam.shown.last().caption, QStringLiteral("終了"));
            QCOMPARE(w.seam.shown.last().text, QStringLiteral("変更が保存されていません。終了しますか？"));
            QVERIFY(w.form->isVisible());
            w.seam.confirmAnswers << true;
            QVERIFY(w.form->close());
        }
    }
};

QTEST_MAIN(TestSheetStorage)
#include "test_sheetstorage.moc"
