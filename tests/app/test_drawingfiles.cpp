#include "drawing/page/DrawingFiles.h"
#include "drawing/page/DrawingPage.h"
#include "app/Application.h"
#include "app/TForm1.h"
#include "core/ErrorGuard.h"
#include "support/ScriptedSeam.h"
#include "widgets/FlatEdit.h"
#include "widgets/ShellListView.h"
#include "widgets/StatusPanelBar.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QtTest>

using namespace tegaro;

namespace {
QString fixture(const char* name) { return QStringLiteral(TEGARO_FIXTURES "/drawing/") + QLatin1String(name); }

QString copyTo(const QString& dir, const QString& relative, const char* source)
{
    const QString target = dir + u'/' + relative;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    if (!QFile::copy(fixture(source), target))
        qFatal("cannot copy fixture");
    return QDir::toNativeSeparators(target);
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
} // namespace

class TestDrawingFiles : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    struct Window {
        ScriptedSeam seam;
        TForm1 form;
        DrawingPage* page() { return form.drawingPage(); }
        DrawingModel& model() { return page()->model(); }
        QString zmfile() { return form.findChild<FlatEdit*>(QStringLiteral("zmfile"))->text(); }
        QString status() { return form.statusBarPanels()->message(); }
    };

private slots:
    void initTestCase() { setupApplication(); }

    void zmReadKeepsTheFloorAndTheBuffer()
    {
        Window w;
        w.model().CurrentFloor = 3;
        w.model().DrawingBuffer = "earlier drop";
        const QString plan = copyTo(dir.path(), QStringLiteral("a/plan.hbd"), "plan.hbd");
        w.seam.fileAnswers << plan;
        w.form.drawingPage()->files().ZmReadClick();
        QCOMPARE(w.seam.shown.first().kind, ScriptedSeam::Shown::Open);
        QCOMPARE(w.seam.shown.first().text, QStringLiteral("家屋図面 (*.hbd)|*.hbd|家屋旧図面 (*.had)|*.HAD"));
        QCOMPARE(w.model().CurrentFloor, 3);
        QCOMPARE(w.model().DrawingBuffer, QByteArray("earlier drop"));
        QCOMPARE(w.model().LinesF1.size(), 2);
        QCOMPARE(w.model().GridOriginX, w.model().HeaderOriginX);
        QCOMPARE(w.zmfile(), plan);
        QCOMPARE(w.status(), plan + QStringLiteral("を読込みました。"));

        // The dialog proposes the last name; a cancel changes nothing.
        w.form.statusBarPanels()->setMessage(QStringLiteral("そのまま"));
        w.seam.fileAnswers << QString();
        w.form.drawingPage()->files().ZmReadClick();
        QCOMPARE(w.seam.shown.last().fileName, plan);
        QCOMPARE(w.status(), QStringLiteral("そのまま"));
        QCOMPARE(w.zmfile(), plan);
    }

    void oldDrawingOpensButItsDropIsRefused()
    {
        Window w;
        const QString old = copyTo(dir.path(), QStringLiteral("b/old.had"), "old.had");
        w.seam.fileAnswers << old;
        w.form.drawingPage()->files().ZmReadClick();
        QCOMPARE(w.model().LinesF1.size(), 2);
        QVERIFY(w.seam.messages().isEmpty());
        w.form.drawingPage()->files().FileDrop4Drop({old});
        QCOMPARE(w.seam.messages(), QStringList({QStringLiteral("hbd図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")}));
    }

    void desktopDrops_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("floor1Lines");
        const QString d = dir.path();
        const QString plan = copyTo(d, QStringLiteral("c/plan.hbd"), "plan.hbd");
        const QString old = copyTo(d, QStringLiteral("c/old.had"), "old.had");
        QTest::newRow("current file") << QStringList{plan} << true << 2;
        QTest::newRow("three files, first read") << QStringList{plan, old, old} << true << 2;
        QTest::newRow("hbd only in the folder") << QStringList{copyTo(d, QStringLiteral("hbd_old/plan.had"), "old.had")} << true << 2;
        QTest::newRow("hbd only in capitals") << QStringList{copyTo(d, QStringLiteral("PLANS/PLAN.HBD"), "plan.hbd")} << false << 0;
        QTest::newRow("not a drawing") << QStringList{copyTo(d, QStringLiteral("d/list.hbd"), "notdrawing.txt")} << true << 0;
    }
    void desktopDrops()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, accepted);
        QFETCH(int, floor1Lines);
        Window w;
        w.model().CurrentFloor = 3;
        w.model().DrawingBuffer = "stale";
        QSignalSpy messages(w.form.statusBarPanels(), &StatusPanelBar::messageChanged);
        w.form.drawingPage()->files().FileDrop4Drop(paths);
        const QString first = paths.first();
        if (!accepted) {
            QCOMPARE(w.seam.messages(), QStringList({QStringLiteral("hbd図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")}));
            QVERIFY(w.model().DrawingBuffer.isEmpty()); // emptied before the test
            QCOMPARE(w.model().CurrentFloor, 3);
            return;
        }
        QCOMPARE(w.model().CurrentFloor, 1);
        QCOMPARE(w.model().DrawingBuffer, bytesOf(first));
        QCOMPARE(w.model().LinesF1.size(), floor1Lines);
        QCOMPARE(w.zmfile(), first);
        QCOMPARE(w.status(), first + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
        QStringList history;
        for (const auto& m : messages)
            history << m.first().toString();
        QVERIFY(history.contains(QStringLiteral("図面読込...")));
        QCOMPARE(history.last(), first + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
    }

    void dragFromTheFileList()
    {
        Window w;
        const QString plan = copyTo(dir.path(), QStringLiteral("e/plan.hbd"), "plan.hbd");
        ShellListView* list = w.page()->fileList();
        list->showFolder(QFileInfo(plan).absolutePath());
        QTRY_VERIFY(list->selectPath(plan));
        QVERIFY(w.form.drawingPage()->files().PaintBox1DragOver(list));
        QVERIFY(!w.form.drawingPage()->files().PaintBox1DragOver(&w.form));
        w.model().DrawingBuffer = "kept";
        w.model().CurrentFloor = 2;
        w.form.drawingPage()->files().PaintBox1DragDrop(list);
        QCOMPARE(w.model().CurrentFloor, 1);
        QCOMPARE(w.model().DrawingBuffer, QByteArray("kept"));
        QCOMPARE(w.model().LinesF1.size(), 2);
        QCOMPARE(w.status(), plan + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));

        // Nothing selected: nothing read.
        list->clearSelection();
        w.model().LinesF1.clear();
        w.form.drawingPage()->files().PaintBox1DragDrop(list);
        QVERIFY(w.model().LinesF1.isEmpty());
        QVERIFY(w.seam.messages().isEmpty());
    }

    void fileListGoesUpOnRightRelease()
    {
        Window w;
        ShellListView* list = w.page()->fileList();
        const QString sub = dir.path() + QStringLiteral("/f/g");
        QDir().mkpath(sub);
        list->showFolder(sub);
        QCOMPARE(list->currentFolder(), sub);
        w.form.show();
        w.form.pages()->setCurrentIndex(2);
        QTest::mouseClick(list->viewport(), Qt::RightButton);
        QCOMPARE(list->currentFolder(), dir.path() + QStringLiteral("/f"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton);
        QCOMPARE(list->currentFolder(), dir.path() + QStringLiteral("/f"));
    }

    void unreadableDropReportsAnError()
    {
        Window w;
        w.model().DrawingBuffer = "stale";
        guarded([&] { w.form.drawingPage()->files().FileDrop4Drop({dir.path() + QStringLiteral("/missing.hbd")}); });
        QCOMPARE(w.seam.shown.size(), 1);
        QCOMPARE(w.seam.shown.first().kind, ScriptedSeam::Shown::Error);
        QVERIFY(w.seam.shown.first().text.contains(QStringLiteral("missing.hbd")));
        QVERIFY(w.model().DrawingBuffer.isEmpty());
        QCOMPARE(w.zmfile(), QStringLiteral("図面"));
    }
};

QTEST_MAIN(TestDrawingFiles)
#include "test_drawingfiles.moc"
