// Detail sheet files on the sheet page: open, save, print, drops and drags.
#include "app/Application.h"
#include "app/TForm1.h"
#include "sheets/container/ZipWriter.h"
#include "sheets/page/SheetFiles.h"
#include "sheets/page/SheetPage.h"
#include "sheets/view/TF5Book.h"
#include "support/ScriptedSeam.h"
#include "support/SheetSamples.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FlatEdit.h"
#include "widgets/ShellListView.h"
#include "widgets/StatusPanelBar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;

namespace {

const QString kOwner = QStringLiteral("山田　花子");

QString writeSheet(const QTemporaryDir& dir, const QString& name, const QString& owner = kOwner)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    const QByteArray bytes = testing::assessmentSheetBytes(owner, {}, {"1", "2", "3", "4"});
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

struct Window {
    ScriptedSeam seam;
    TForm1 form;
    sheets::TF5Book* book() { return form.sheetPage()->book(); }
    sheets::SheetFiles& files() { return form.sheetPage()->files(); }
    QString exfile() { return form.findChild<FlatEdit*>(QStringLiteral("exfile"))->text(); }
    QString status() { return form.statusBarPanels()->message(); }
    void click(const char* name) { form.findChild<QToolButton*>(QString::fromLatin1(name))->click(); }
    QString owner() { return book()->CellText(1, 4, 4); }
};

} // namespace

class TestSheetFiles : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

private slots:
    void initTestCase() { setupApplication(); }

    void openThroughTheDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("opens");
        QTest::newRow("a sheet") << "open/meisai.xls" << true;
        QTest::newRow("a missing file") << "open/none.xls" << false;
        QTest::newRow("a folder") << "open" << false;
    }
    void openThroughTheDialog()
    {
        QFETCH(QString, name);
        QFETCH(bool, opens);
        const QString sheet = writeSheet(dir, QStringLiteral("open/meisai.xls"));
        const QString path = dir.filePath(name);
        Window w;
        w.book()->SetViewScale(150);
        w.seam.fileAnswers << path;
        w.click("MMenu");
        QCOMPARE(w.seam.shown.first().text, QStringLiteral("家屋明細書(*.xls)|*.xls"
                                                           "|すべてのブック (*.xls *.xlsx *.ods)|*.xls;*.xlsx;*.ods"));
        if (!opens) {
            QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("そのシートはありません!")});
            QCOMPARE(w.owner(), QString());
            QCOMPARE(w.book()->ViewScale(), 150);
            return;
        }
        QCOMPARE(w.owner(), kOwner);
        QCOMPARE(w.exfile(), path);
        QCOMPARE(w.status(), path + QStringLiteral("(明細)を読込みました。"));
        // The standard view.
        QCOMPARE(w.book()->ViewScale(), 95);
        QVERIFY(w.book()->ShowEditBar());
        QVERIFY(!w.book()->ShowColHeading());
        QVERIFY(!w.book()->ShowRowHeading());
    }

    // A file the reader refuses tells its error and leaves the shown sheet,
    // the file name and the status as they were, whichever way it came.
    void aFailedReadKeepsTheSheet_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("dialog") << false;
        QTest::newRow("drop") << true;
    }
    void aFailedReadKeepsTheSheet()
    {
        QFETCH(bool, dropped);
        const QString sheet = writeSheet(dir, QStringLiteral("kept/meisai.xls"));
        // an .ods whose content is not XML, named so that the drop takes it
        const QString bad = dir.filePath(QStringLiteral("kept/damaged.xls.ods"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sheets::writeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                  {"content.xml", QByteArray("\x01\x02 not xml")}}));
        f.close();
        Window w;
        w.seam.fileAnswers << sheet;
        w.click("MMenu");
        QCOMPARE(w.owner(), kOwner);
        const QString status = w.status();
        w.seam.clear();
        if (dropped) {
            emit w.form.findChild<FileDropTarget*>(QStringLiteral("FileDrop3"))->dropped({bad});
        } else {
            w.seam.fileAnswers << bad;
            w.click("MMenu");
        }
        QCOMPARE(w.seam.messages().size(), 1);
        QVERIFY2(w.seam.messages().first().contains(QStringLiteral("XML ではありません")), qPrintable(w.seam.messages().first()));
        QCOMPARE(w.owner(), kOwner);
        QCOMPARE(w.exfile(), sheet);
        QCOMPARE(w.status(), status);
    }

    void saveProposesTheOwner_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "abc"
                                      << "abc.xls";
        QTest::newRow("an existing .xls") << "abc.xls"
                                          << "abc.xls";
        QTest::newRow("capitals") << "abc.Xls"
                                  << "abc.Xls";
        QTest::newRow("a dot inside") << "abc.xls.bak"
                                      << "abc.xls.bak.xls";
    }
    void saveProposesTheOwner()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir out;
        Window w;
        w.book()->LoadWorkbook(writeSheet(dir, QStringLiteral("save/meisai.xls")));
        w.seam.fileAnswers << out.filePath(typed);
        w.click("ToolbarButton973");
        QCOMPARE(w.seam.shown.first().text, QStringLiteral("明細ｼｰﾄ(*.XLS)|*.xls"));
        QCOMPARE(w.seam.shown.first().fileName, kOwner);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{written});
        QCOMPARE(w.status(), QStringLiteral("明細を保存しました！"));
        QCOMPARE(w.exfile(), QStringLiteral("明細"));
        // An empty owner cell proposes an empty name; cancelling writes nothing.
        w.book()->ClearWorkbook();
        w.seam.clear();
        w.click("ToolbarButton973");
        QCOMPARE(w.seam.shown.first().fileName, QString());
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 1);
    }

    void printReportsOnlyWhatWasPrinted()
    {
        QTemporaryDir out;
        Window w;
        w.book()->LoadWorkbook(writeSheet(dir, QStringLiteral("print/meisai.xls")));
        w.form.statusBarPanels()->setMessage(QStringLiteral("前"));
        w.seam.printAnswers << ScriptedSeam::PrintAnswer{};
        w.click("ToolbarButton971");
        QCOMPARE(w.status(), QStringLiteral("前"));
        const QString pdf = out.filePath(QStringLiteral("meisai.pdf"));
        w.seam.printAnswers << ScriptedSeam::PrintAnswer{pdf};
        w.click("ToolbarButton971");
        QCOMPARE(w.status(), QStringLiteral("印刷完了！"));
        QVERIFY(QFileInfo(pdf).size() > 0);
    }

    void desktopDrops_data()
    {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QString>("shown"); // owner shown afterwards, null when refused
        const QString first = writeSheet(dir, QStringLiteral("drop/first.xls"), QStringLiteral("一番"));
        const QString second = writeSheet(dir, QStringLiteral("drop/second.xls"), QStringLiteral("二番"));
        const QString capitals = writeSheet(dir, QStringLiteral("drop/PLAN.XLS"));
        const QString inFolder = writeSheet(dir, QStringLiteral("drop/xls-files/meisai.dat"), QStringLiteral("中"));
        QTest::newRow("three files") << QStringList{first, second, capitals} << QStringLiteral("一番");
        QTest::newRow("capitals") << QStringList{capitals, first} << QString();
        QTest::newRow("folder named xls") << QStringList{inFolder} << QStringLiteral("中");
    }
    void desktopDrops()
    {
        QFETCH(QStringList, dropped);
        QFETCH(QString, shown);
        Window w;
        w.book()->SetViewScale(150);
        auto* target = w.form.findChild<FileDropTarget*>(QStringLiteral("FileDrop3"));
        emit target->dropped(dropped);
        if (shown.isNull()) {
            QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
            QCOMPARE(w.owner(), QString());
            QCOMPARE(w.exfile(), QStringLiteral("明細"));
            return;
        }
        QCOMPARE(w.owner(), shown);
        QCOMPARE(w.exfile(), dropped.first());
        QCOMPARE(w.status(), dropped.first() + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
        QCOMPARE(w.book()->ViewScale(), 100); // the file's own view, not the standard one
    }

    void dragFromTheFileList()
    {
        Window w;
        const QString sheet = writeSheet(dir, QStringLiteral("list/meisai.xls"));
        ShellListView* list = w.form.sheetPage()->fileList();
        list->showFolder(QFileInfo(sheet).absolutePath());
        QTRY_VERIFY(list->selectPath(sheet));
        QVERIFY(w.files().F5Book1DragOver(list));
        QVERIFY(!w.files().F5Book1DragOver(&w.form));
        w.files().F5Book1DragDrop(list);
        QCOMPARE(w.owner(), kOwner);
        QCOMPARE(w.exfile(), sheet);
    }

    // Today's files: what an .xls cannot hold is told once after the load.
    void packagesTellWhatWasLeftOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("told");
        QTest::newRow("xlsx") << "detail.xlsx" << 0;
        QTest::newRow("ods") << "detail.ods" << 0;
    }
    void packagesTellWhatWasLeftOut()
    {
        QFETCH(QString, name);
        QFETCH(int, told);
        Window w;
        emit w.form.findChild<FileDropTarget*>(QStringLiteral("FileDrop3"))
            ->dropped({QStringLiteral(TEGARO_FIXTURES "/sheets/") + name});
        QCOMPARE(w.book()->CellText(1, 2, 2), QStringLiteral("山田　太郎①"));
        QVERIFY2(w.seam.messages().size() == told, qPrintable(w.seam.messages().join(u'\n')));
        if (!told)
            return;
        QVERIFY(w.seam.messages().first().contains(QStringLiteral("省く")));
    }
};

QTEST_MAIN(TestSheetFiles)
#include "test_sheetfiles.moc"
