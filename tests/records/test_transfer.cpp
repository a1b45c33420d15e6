// Owner, areas and score from the shown detail sheet into the record form.
#include "RecordsFixture.h"

#include "sheets/page/SheetPage.h"
#include "sheets/view/TF5Book.h"
#include "support/SheetSamples.h"
#include "widgets/NavigatorPanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;
using records_test::ConnectedWindow;
using records_test::writeFile;

namespace {

const QString kOwner = QStringLiteral("山田　花子");
const char* const kBoxes[] = {"DBEdit1", "DBEdit2", "DBEdit26", "DBEdit25", "DBEdit10"};

struct Transfer : ConnectedWindow {
    using ConnectedWindow::ConnectedWindow;
    void press(NavigatorPanel::Action action)
    {
        QTest::mouseClick(find<NavigatorPanel>("DBInspectorBar1")->button(action), Qt::LeftButton);
    }
    void show(const QTemporaryDir& dir, const QString& g6, const QString& e6 = QStringLiteral("65000"))
    {
        const QString path = writeFile(dir, QStringLiteral("sheet.xls"),
                                       testing::assessmentSheetBytes(kOwner, g6, {"11", "22", "33", "44"}, e6));
        form->sheetPage()->book()->LoadWorkbook(path);
    }
    void transfer() { QTest::mouseClick(find<QPushButton>("FlatButton1"), Qt::LeftButton); }
    QStringList boxes() const
    {
        QStringList texts;
        for (const char* name : kBoxes)
            texts << find<QLineEdit>(name)->text();
        return texts;
    }
};

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private:
    QTemporaryDir files;

private slots:
    void areasFollowG6_data()
    {
        QTest::addColumn<QString>("g6");
        QTest::addColumn<QStringList>("areas");
        QTest::newRow("G6 empty") << QString() << QStringList{"22", "33", "44"};
        QTest::newRow("G6 a blank") << QStringLiteral(" ") << QStringList{"11", "22", "33"};
        QTest::newRow("G6 a mark") << QStringLiteral("x") << QStringList{"11", "22", "33"};
    }
    // Insert, transfer, post: the new house record holds the five values.
    void areasFollowG6()
    {
        QFETCH(QString, g6);
        QFETCH(QStringList, areas);
        Transfer w({{QStringLiteral("青木")}});
        w.show(files, g6);
        w.press(NavigatorPanel::Insert);
        w.transfer();
        QCOMPARE(w.boxes(), areas + QStringList({"65000", kOwner}));
        QCOMPARE(w.query().state(), DataSetState::Insert);
        w.press(NavigatorPanel::Post);
        QCOMPARE(w.storedCount(), 2);
        const QStringList values = areas + QStringList({"65000"});
        const char* const columns[] = {"１Ｆ", "２Ｆ", "床面積", "評点数"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(w.stored(QString::fromUtf8(columns[i]), kOwner).toDouble(), values[i].toDouble());
    }

    // Sheets read from today's files give their texts the same way.
    void packagesTransferToo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("xlsx") << "detail.xlsx";
        QTest::newRow("ods") << "detail.ods";
    }
    void packagesTransferToo()
    {
        QFETCH(QString, name);
        Transfer w({{QStringLiteral("青木")}});
        sheets::TF5Book* book = w.form->sheetPage()->book();
        book->LoadWorkbook(QStringLiteral(TEGARO_FIXTURES "/sheets/") + name);
        book->book().SetEntry(0, 5, 9, QStringLiteral("12.5")); // J6
        w.press(NavigatorPanel::Edit);
        w.transfer();
        // exactly what the control shows, G6 being empty there
        QCOMPARE(w.boxes(), QStringList({QStringLiteral("12.5"), {}, {}, {}, book->CellText(1, 4, 4)}));
    }

    // An empty workbook empties the five boxes.
    void emptySheetEmptiesTheBoxes()
    {
        Transfer w({{QStringLiteral("青木")}});
        w.press(NavigatorPanel::Edit);
        for (const char* name : kBoxes)
            w.find<QLineEdit>(name)->setText(QStringLiteral("9"));
        w.form->sheetPage()->book()->ClearWorkbook();
        w.transfer();
        QCOMPARE(w.boxes(), QStringList(5, QString()));
    }

    // In browse mode the texts are only shown: leaving a box says so, and a
    // move away and back brings the stored values again.
    void browseModeWritesNothing()
    {
        Transfer w({{QStringLiteral("青木")}, {QStringLiteral("馬場")}});
        if (!w.active)
            QSKIP("the window cannot take the focus here");
        w.show(files, {});
        auto* owner = w.find<QLineEdit>("DBEdit10");
        owner->setFocus();
        w.transfer();
        QCOMPARE(owner->text(), kOwner);
        QCOMPARE(w.query().state(), DataSetState::Browse);
        owner->setFocus();
        w.find<QLineEdit>("DBEdit11")->setFocus();
        QCOMPARE(w.seam.messages(), QStringList{QStringLiteral("データセットが編集または挿入モードではありません")});
        QTRY_VERIFY(owner->hasFocus());
        w.query().next();
        w.query().prior();
        QCOMPARE(owner->text(), QStringLiteral("青木"));
        QCOMPARE(w.stored(QStringLiteral("所有者氏名"), kOwner).toString(), QStringLiteral("<no row>"));
    }

    // A double click copies the shown text, even one just transferred.
    void doubleClickCopiesTheShownArea_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("DBEdit19") << "DBEdit19"
                                  << "登記１Ｆ"
                                  << "22";
        QTest::newRow("DBEdit20") << "DBEdit20"
                                  << "登記２Ｆ"
                                  << "33";
        QTest::newRow("DBEdit22") << "DBEdit22"
                                  << "登記面積"
                                  << "44";
    }
    void doubleClickCopiesTheShownArea()
    {
        QFETCH(QString, target);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        Transfer w({{QStringLiteral("青木")}});
        w.show(files, {});
        w.press(NavigatorPanel::Edit);
        w.transfer();
        auto* box = w.find<QLineEdit>(qPrintable(target));
        QTest::mouseDClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), expected);
        w.press(NavigatorPanel::Post);
        QCOMPARE(w.stored(column, kOwner).toDouble(), expected.toDouble());
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
