// The detail sheet's whole road on a copy of the demo database: connect
// with the settings file, show a house's sheet, edit and register it, see
// the edit again after moving away and back, and transfer its values into
// the record. With TEGARO_SHOTS naming a folder, each step leaves a
// picture of the window there.
#include "app/Application.h"
#include "app/TForm1.h"
#include "db/Connection.h"
#include "db/DataAccess.h"
#include "db/login/TSQLLogin.h"
#include "sheets/page/SheetPage.h"
#include "sheets/view/SheetGrid.h"
#include "sheets/view/TF5Book.h"
#include "support/ScriptedSeam.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/SideMenu.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cmath>

using namespace tegaro;

class TestEndToEnd : public QObject {
    Q_OBJECT
private:
    TForm1* form = nullptr;

    void shot(const char* name)
    {
        const QString folder = qEnvironmentVariable("TEGARO_SHOTS");
        if (folder.isEmpty())
            return;
        QTest::qWait(200);
        QWidget* top = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : form;
        top->screen()->grabWindow(0).save(QStringLiteral("%1/%2.png").arg(folder, QLatin1String(name)));
    }
    template <class T>
    T* find(const char* name) { return form->findChild<T*>(QString::fromLatin1(name)); }
    void press(NavigatorPanel::Action action)
    {
        QTest::mouseClick(find<NavigatorPanel>("DBInspectorBar1")->button(action), Qt::LeftButton);
    }
    QString text(const char* box) { return find<QLineEdit>(box)->text(); }

private slots:
    void initTestCase() { setupApplication(); }

    void detailSheetRoad()
    {
        const QString demo = QStringLiteral(TEGARO_BIN_DIR "/tegaro-demo.sqlite");
        if (!QFile::exists(demo) || !QFile::exists(QStringLiteral(TEGARO_BIN_DIR "/Hotaku.ini")))
            QSKIP("the demo database is not built");
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("demo.sqlite"));
        QVERIFY(QFile::copy(demo, copy));

        ScriptedSeam seam;
        TForm1 window;
        form = &window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // サーバー接続 → 読込 → 接続, the dialog as the user sees it.
        QTimer::singleShot(0, this, [&] {
            auto* login = qobject_cast<TSQLLogin*>(QApplication::activeModalWidget());
            QVERIFY(login);
            shot("1-login");
            login->Button3->click(); // 読込
            QCOMPARE(login->SQLname->text(), QStringLiteral("tegaro-demo.sqlite"));
            shot("2-read");
            login->SQLname->setText(copy); // the copy, so the demo stays as built
            login->Button1->click();       // 接続
        });
        find<QToolButton>("ToolbarButton976")->click();
        RecordSet& houses = *window.data()->ADOQuery1;
        QVERIFY(houses.isOpen());

        // A house with a detail sheet.
        while (!find<ImageCheckLabel>("PCheck2")->isChecked() && !houses.eof())
            press(NavigatorPanel::Next);
        QVERIFY(find<ImageCheckLabel>("PCheck2")->isChecked());
        const QString owner = text("DBEdit10");
        shot("3-record");

        find<SideMenu>("InspectorBar1")->itemButton(0, 1)->click(); // 評点明細
        SideMenu* sheetMenu = window.sheetPage()->sideMenu();
        sheetMenu->itemButton(0, 0)->click(); // 明細表示
        sheets::TF5Book* book = window.sheetPage()->book();
        QCOMPARE(book->CellText(1, 4, 4), owner);
        shot("4-shown");

        // The first floor's area, typed into its cell.
        const int firstArea = book->CellText(1, 6, 7).isEmpty() ? 10 : 9;
        auto* nameBox = book->findChild<QLineEdit*>(QStringLiteral("NameBox"));
        nameBox->setText(sheets::cellName(5, firstArea - 1));
        QTest::keyClick(nameBox, Qt::Key_Return);
        const QString partsBefore = book->CellText(1, 21, 6);
        const bool sameArea = book->CellText(1, 6, firstArea).toDouble() == 77.5;
        QTest::keyClicks(book->grid(), QStringLiteral("77.5"));
        QTest::keyClick(book->grid(), Qt::Key_Return);
        QCOMPARE(book->CellText(1, 6, firstArea), QStringLiteral("77.50"));
        // the sheet's formulas follow: the whole area, the parts' scores and
        // their total below the table, and the score per ㎡ from them
        auto number = [book](int row, int col) { return QString(book->CellText(1, row, col)).remove(u',').toDouble(); };
        const double total = 77.5 + number(6, firstArea + 1);
        QCOMPARE(number(6, firstArea + 2), total);
        QCOMPARE(number(6, 5), std::round(number(21, 6) / total));
        if (!sameArea)
            QVERIFY(book->CellText(1, 21, 6) != partsBefore);
        shot("5-edited");
        seam.confirmAnswers << true;
        sheetMenu->itemButton(0, 2)->click(); // 明細登録

        press(NavigatorPanel::Next);
        press(NavigatorPanel::Prior);
        book->ClearWorkbook();
        sheetMenu->itemButton(0, 0)->click();
        QCOMPARE(book->CellText(1, 6, firstArea), QStringLiteral("77.50"));
        shot("6-back");

        find<SideMenu>("InspectorBar1")->itemButton(0, 0)->click(); // 基本項目
        press(NavigatorPanel::Edit);
        QTest::mouseClick(find<QPushButton>("FlatButton1"), Qt::LeftButton);
        press(NavigatorPanel::Post);
        shot("7-transferred");
        QCOMPARE(seam.messages().join(u'|'), QString());

        Connection check;
        check.setTarget(sqliteFileTarget(copy));
        check.open();
        QSqlQuery q = check.exec(QStringLiteral("SELECT １Ｆ, ２Ｆ, 床面積, 評点数, 所有者氏名 FROM 基本データ WHERE No = ?"),
                                 {houses.fieldByName(QStringLiteral("No")).value()});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toDouble(), 77.5);
        QCOMPARE(q.value(1).toString().toDouble(), book->CellText(1, 6, firstArea + 1).toDouble());
        QCOMPARE(q.value(2).toDouble(), QString(book->CellText(1, 6, firstArea + 2)).remove(u',').toDouble());
        QCOMPARE(q.value(3).toDouble(), QString(book->CellText(1, 6, 5)).remove(u',').toDouble());
        QCOMPARE(q.value(4).toString(), owner);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
