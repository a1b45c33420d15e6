#include "RecordsFixture.h"

#include "drawing/page/DrawingFiles.h"
#include "drawing/page/DrawingPage.h"
#include "drawing/page/DrawingStorage.h"
#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "db/DataAccess.h"
#include "records/RecordPage.h"
#include "records/RecordSearch.h"
#include "widgets/FlatEdit.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/ShellListView.h"
#include "widgets/StatusPanelBar.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace tegaro;
using records_test::ConnectedWindow;
using records_test::House;
using records_test::writeFile;

namespace {
QByteArray fixtureBytes(const char* name)
{
    QFile f(QStringLiteral(TEGARO_FIXTURES "/drawing/") + QLatin1String(name));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Storage : ConnectedWindow {
    using ConnectedWindow::ConnectedWindow;
    DrawingStorage& storage() { return form->drawingPage()->storage(); }
    DrawingModel& model() { return form->drawingPage()->model(); }
    QString zmfile() { return find<FlatEdit>("zmfile")->text(); }
    QString status() { return form->statusBarPanels()->message(); }
    QByteArray zumen(const QString& owner) { return stored(QStringLiteral("zumen"), owner).toByteArray(); }
    ImageCheckLabel* mark() { return find<ImageCheckLabel>("PCheck1"); }
};

// A whole current-format drawing with one red segment on floor 1, LF only.
const QByteArray kLf = "$headerpas\n10\n10\n1\n1\n1\n1\n45\n45\nx\n1\n2\n0\n1.82\n"
                       "[1F]\n0\n10\n10\n500\n10\n255\n0\nt\n"
                       "[2F]\n-1\n[3F]\n-1\n[EX]\n-1\n[B1]\n-1\n[B2]\n-1\n[B3]\n-1\n"
                       "[END]\na\nb\nc\nd\ne\nf\n";
} // namespace

class TestDrawingStorage : public QObject {
    Q_OBJECT
private:
    QTemporaryDir files;

private slots:
    void registerWithoutADrop()
    {
        Storage w({{QStringLiteral("青木")}});
        // A drawing opened with the dialog does not fill the buffer.
        w.seam.fileAnswers << writeFile(files, QStringLiteral("a/plan.hbd"), fixtureBytes("plan.hbd"));
        w.form->drawingPage()->files().ZmReadClick();
        w.storage().InspectorBar3ItemClick(0, 2); // 図面登録
        QCOMPARE(w.status(), QStringLiteral(" >>>図面が読み込まれていません。"));
        QCOMPARE(w.seam.beeps, 1);
        QVERIFY(w.zumen(QStringLiteral("青木")).isEmpty());
    }

    void registerStoresTheLastDesktopDrop()
    {
        Storage w({{QStringLiteral("青木")}});
        const QString dropped = writeFile(files, QStringLiteral("b/plan.hbd"), fixtureBytes("plan.hbd"));
        w.form->drawingPage()->files().FileDrop4Drop({dropped});
        w.seam.fileAnswers << writeFile(files, QStringLiteral("b/other.hbd"), kLf);
        w.form->drawingPage()->files().ZmReadClick(); // shown, not kept
        w.seam.confirmAnswers << false << true;
        w.storage().RegisterShownDrawing();
        QVERIFY(w.zumen(QStringLiteral("青木")).isEmpty()); // cancelled
        w.storage().RegisterShownDrawing();
        QCOMPARE(w.zumen(QStringLiteral("青木")), fixtureBytes("plan.hbd"));
        QCOMPARE(w.seam.shown.last().caption, QStringLiteral("図面登録"));
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("登録しますか？"));
        QVERIFY(w.mark()->isChecked());
        QCOMPARE(w.zmfile(), QStringLiteral("□"));
        QCOMPARE(w.status(), QStringLiteral("□（図面）を登録ました。"));

        // After showing the record, 図面登録 still stores the buffer.
        w.query().edit();
        w.query().fieldByName(QStringLiteral("zumen")).setBytes(kLf);
        w.query().post();
        w.storage().ShowStoredDrawing();
        w.storage().RegisterShownDrawing();
        QCOMPARE(w.zumen(QStringLiteral("青木")), fixtureBytes("plan.hbd"));

        // Any release over the mark empties the buffer.
        w.mark()->show();
        QTest::mouseClick(w.mark(), Qt::LeftButton);
        QVERIFY(w.model().DrawingBuffer.isEmpty());
        w.storage().RegisterShownDrawing();
        QCOMPARE(w.status(), QStringLiteral(" >>>図面が読み込まれていません。"));
    }

    void registerFromFileShowsIt()
    {
        Storage w({{QStringLiteral("青木")}});
        const QString path = writeFile(files, QStringLiteral("c/plan.hbd"), fixtureBytes("plan.hbd"));
        w.seam.fileAnswers << path;
        w.storage().ToolbarButton975Click();
        QCOMPARE(w.seam.shown.size(), 1); // the dialog only, no confirmation
        QCOMPARE(w.seam.shown.first().text, QStringLiteral("図面ファイル (*.hbd)|*.hbd"));
        QCOMPARE(w.zumen(QStringLiteral("青木")), fixtureBytes("plan.hbd"));
        QCOMPARE(w.model().LinesF1.size(), 2);
        QCOMPARE(w.model().CurrentFloor, 1);
        QCOMPARE(w.zmfile(), QStringLiteral("□"));
        QCOMPARE(w.status(), path + QStringLiteral("（図面）を登録ました。"));
        QCOMPARE(w.query().state(), DataSetState::Edit); // left in edit by the display
    }

    void dropOnTheRegisterButton()
    {
        Storage w({{QStringLiteral("青木")}});
        const QString plan = writeFile(files, QStringLiteral("d/plan.hbd"), fixtureBytes("plan.hbd"));
        const QString sheet = writeFile(files, QStringLiteral("d/book.xls"), "not a drawing");
        ShellListView* list = w.form->drawingPage()->fileList();
        list->showFolder(QFileInfo(plan).absolutePath());
        QTRY_VERIFY(list->selectPath(sheet));
        QVERIFY(w.storage().BitBtn1DragOver(list));
        w.storage().BitBtn1DragDrop(list);
        QCOMPARE(w.seam.messages(), QStringList({QStringLiteral("図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")}));
        QVERIFY(list->selectPath(plan));
        w.seam.clear();
        w.storage().BitBtn1DragDrop(list);
        QCOMPARE(w.seam.shown.size(), 1);
        QCOMPARE(w.seam.shown.first().kind, ScriptedSeam::Shown::Confirm);
        QCOMPARE(w.zumen(QStringLiteral("青木")), fixtureBytes("plan.hbd"));
        QCOMPARE(w.model().LinesF1.size(), 2);
        QCOMPARE(w.status(), plan + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
    }

    void showWithAndWithoutADrawing()
    {
        Storage w({{QStringLiteral("なし")}, {QStringLiteral("あり"), {}, {}, {}, fixtureBytes("plan.hbd")}});
        w.model().CurrentFloor = 2;
        w.storage().InspectorBar3ItemClick(0, 0);
        QCOMPARE(w.model().CurrentFloor, 3);
        QCOMPARE(w.zmfile(), QStringLiteral("なし!"));
        QCOMPARE(w.status(), QStringLiteral("　>>>図面がありません。"));
        w.query().next();
        w.model().CurrentFloor = 3;
        w.storage().InspectorBar3ItemClick(0, 0);
        QCOMPARE(w.model().CurrentFloor, 1);
        QCOMPARE(w.zmfile(), QStringLiteral("□"));
        QCOMPARE(w.status(), QStringLiteral("切替え"));
        QCOMPARE(w.model().LinesF1.size(), 2);
        DrawingPage* page = w.form->drawingPage();
        QCOMPARE(page->areaBox(AreaBoxTotal)->text(), QStringLiteral("   32.75"));
        const QPoint onWall(100, 50); // the red outer wall at zoom 0.5
        QCOMPARE(page->renderer().offscreen().pixelColor(onWall), QColor(Qt::red));
        // 図面消去 clears the page and the buffer, not the record.
        w.model().DrawingBuffer = "x";
        w.storage().InspectorBar3ItemClick(0, 1);
        QVERIFY(w.model().LinesF1.isEmpty());
        QVERIFY(page->areaBox(AreaBoxTotal)->text().isEmpty());
        QVERIFY(page->renderer().offscreen().pixelColor(onWall) != QColor(Qt::red));
        QVERIFY(w.model().DrawingBuffer.isEmpty());
        QCOMPARE(w.zmfile(), QStringLiteral("-"));
        QCOMPARE(w.zumen(QStringLiteral("あり")), fixtureBytes("plan.hbd"));
    }

    void exportAndRegisterAgainIsByteIdentical()
    {
        // Bytes a text reader would change: CR LF, a lone CR, a NUL, Ctrl-Z, CP932.
        const QByteArray odd = fixtureBytes("plan.hbd") + QByteArray("\r\x00\x1a\x87\x40 end", 10);
        Storage w({{QStringLiteral("青木"), {}, {}, {}, odd}, {QStringLiteral("空")}});
        w.seam.fileAnswers << files.filePath(QStringLiteral("plan"));
        w.storage().InspectorBar3ItemClick(0, 3);
        QCOMPARE(w.seam.shown.last().defaultExt, QStringLiteral("hbd"));
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("家屋図面 (*.hbd)|*.hbd"));
        QCOMPARE(w.form->SaveDialog1.defaultExt, QString()); // only for this export
        const QString exported = files.filePath(QStringLiteral("plan.hbd"));
        QFile f(exported);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), odd);
        QCOMPARE(w.zmfile(), QStringLiteral("->"));

        w.query().next();
        w.seam.fileAnswers << exported;
        w.storage().ToolbarButton975Click();
        QCOMPARE(w.zumen(QStringLiteral("空")), odd);

        // A cancelled export still marks the field; an empty record asks nothing.
        w.seam.clear();
        w.storage().ExportStoredDrawing();
        QCOMPARE(w.zmfile(), QStringLiteral("->"));
        w.query().first();
        w.query().edit();
        w.query().fieldByName(QStringLiteral("zumen")).clear();
        w.query().post();
        w.seam.clear();
        w.storage().ExportStoredDrawing();
        QVERIFY(w.seam.shown.isEmpty());
        QCOMPARE(w.zmfile(), QStringLiteral("なし"));
    }

    void rightClickDeletionIsPostedByTheNextMove()
    {
        Storage w({{QStringLiteral("青木"), {}, {}, {}, kLf}, {QStringLiteral("井上")}});
        w.seam.confirmAnswers << false;
        w.storage().PCheck1MouseUp(Qt::RightButton);
        QVERIFY(w.mark()->isChecked()); // cancelled
        w.storage().PCheck1MouseUp(Qt::RightButton);
        QCOMPARE(w.seam.shown.last().caption, QStringLiteral("図面削除"));
        QCOMPARE(w.seam.shown.last().text, QStringLiteral("消去しますか？"));
        QVERIFY(!w.mark()->isChecked());
        QCOMPARE(w.zmfile(), QString());
        QCOMPARE(w.zumen(QStringLiteral("青木")), kLf); // not yet written
        w.query().next();
        w.query().prior();
        QVERIFY(w.zumen(QStringLiteral("青木")).isEmpty());
        QCOMPARE(w.zmfile(), QStringLiteral("[*図面なし]"));
    }

    void rightClickDeletionIsDroppedByANewSearch()
    {
        Storage w({{QStringLiteral("青木"), {}, {}, {}, kLf}});
        w.storage().PCheck1MouseUp(Qt::RightButton);
        w.form->recordPage()->search()->Edit1KeyDown(13, QString());
        QCOMPARE(w.zumen(QStringLiteral("青木")), kLf);
        QVERIFY(w.mark()->isChecked());
    }

    void lineEndsDoNotChangeThePicture()
    {
        QByteArray crlf = kLf;
        crlf.replace("\n", "\r\n");
        Storage w({{QStringLiteral("LF"), {}, {}, {}, kLf}, {QStringLiteral("CRLF"), {}, {}, {}, crlf}});
        w.storage().ShowStoredDrawing();
        const QImage lf = w.form->drawingPage()->renderer().offscreen().copy();
        w.query().next();
        w.model().LinesF1.clear();
        w.storage().ShowStoredDrawing();
        QCOMPARE(w.model().LinesF1.size(), 1);
        QCOMPARE(w.form->drawingPage()->renderer().offscreen(), lf);
    }

    void withoutConnectionEveryActionReportsAnError()
    {
        ScriptedSeam seam;
        TForm1 form;
        form.drawingPage()->model().DrawingBuffer = "x";
        guarded([&] { form.drawingPage()->storage().RegisterShownDrawing(); });
        guarded([&] { form.drawingPage()->storage().ShowStoredDrawing(); });
        guarded([&] { form.drawingPage()->storage().ExportStoredDrawing(); });
        QCOMPARE(seam.shown.size(), 4); // the confirmation, then three errors
        for (int i = 1; i < 4; ++i)
            QCOMPARE(seam.shown[i].kind, ScriptedSeam::Shown::Error);
    }
};

QTEST_MAIN(TestDrawingStorage)
#include "test_drawingstorage.moc"
