#include "RecordsFixture.h"

#include "db/DataAccess.h"
#include "records/RecordForm.h"
#include "records/RecordPage.h"
#include "widgets/data/DataControls.h"
#include "widgets/FlatEdit.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"
#include "support/LayoutCheck.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;
using records_test::ConnectedWindow;
using records_test::House;
using records_test::typeText;

namespace {
void press(ConnectedWindow& w, NavigatorPanel::Action action)
{
    QTest::mouseClick(w.find<NavigatorPanel>("DBInspectorBar1")->button(action), Qt::LeftButton);
}
QString text(ConnectedWindow& w, const char* name)
{
    if (auto* e = w.find<QLineEdit>(name))
        return e->text();
    if (auto* c = w.find<QComboBox>(name))
        return c->currentText();
    return QStringLiteral("<none>");
}
} // namespace

class TestRecordForm : public QObject {
    Q_OBJECT
private slots:
    void layoutAndLists()
    {
        ConnectedWindow w({});
        const struct {
            const char* name;
            const char* caption;
        } groups[] = {
            {"GroupBox12", "基本項目"}, {"GroupBox15", "調査項目"}, {"GroupBox13", "家屋項目"}, {"GroupBox14", "登記項目"}};
        for (const auto& g : groups)
            QCOMPARE(w.find<QGroupBox>(g.name)->title(), QString::fromUtf8(g.caption));
        // Placed with the lists filled and the record shown: nothing cut off or covered.
        const QStringList faults = layoutFaults(w.form->pages()->widget(0));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        auto* structure = w.find<QComboBox>("DBComboBox6");
        QCOMPARE(structure->count(), 29);
        QCOMPARE(structure->itemText(0), QStringLiteral("木ス２"));
        QCOMPARE(structure->itemText(7), QStringLiteral("木ﾌﾟﾚｽ２"));
        QCOMPARE(structure->itemText(28), QStringLiteral("RCﾌﾟﾚ亜平"));
        QCOMPARE(w.find<QComboBox>("DBComboBox4")->itemText(9), QStringLiteral("20"));
        QCOMPARE(w.find<QComboBox>("DBComboBox8")->itemText(8), QStringLiteral("4/5"));
        QVERIFY(!w.find<QComboBox>("DBComboBox3")->isEditable());
        QVERIFY(w.find<QComboBox>("DBComboBox2")->isEditable());
        QCOMPARE(w.find<QComboBox>("DBComboBox2")->count(), 0);
        QCOMPARE(w.find<DBLookupComboBox>("DBLookupComboBox1")->listValues(),
                 QStringList({"北区", "南区", "中央区"}));
        // Transfer targets stand out from the other fields.
        QVERIFY(w.find<QWidget>("DBEdit10")->palette().color(QPalette::Base)
                != w.find<QWidget>("DBEdit9")->palette().color(QPalette::Base));
    }

    void browseEditPostCancelDelete()
    {
        ConnectedWindow w({{QStringLiteral("青木")}, {QStringLiteral("井上")}, {QStringLiteral("上田")}});
        QCOMPARE(text(w, "DBEdit10"), QStringLiteral("青木"));
        press(w, NavigatorPanel::Next);
        QCOMPARE(text(w, "DBEdit10"), QStringLiteral("井上"));
        press(w, NavigatorPanel::Last);
        QCOMPARE(text(w, "DBEdit10"), QStringLiteral("上田"));

        // Typing starts editing; Post writes the row at once.
        auto* address = w.find<QLineEdit>("DBEdit11");
        address->setFocus();
        typeText(address, QStringLiteral("東町1-2"));
        QCOMPARE(w.query().state(), DataSetState::Edit);
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.query().state(), DataSetState::Browse);
        QCOMPARE(w.stored(QStringLiteral("所有者住所"), QStringLiteral("上田")).toString(), QStringLiteral("東町1-2"));

        // Cancel throws the typed text away.
        typeText(address, QStringLiteral("X"));
        press(w, NavigatorPanel::Cancel);
        QCOMPARE(address->text(), QStringLiteral("東町1-2"));

        // A changed record is posted by a move.
        typeText(w.find<QLineEdit>("DBEdit16"), QStringLiteral("3番地"));
        press(w, NavigatorPanel::First);
        QCOMPARE(w.stored(QStringLiteral("所在地番"), QStringLiteral("上田")).toString(), QStringLiteral("3番地"));

        // Insert leaves untouched columns NULL.
        press(w, NavigatorPanel::Insert);
        QCOMPARE(w.query().state(), DataSetState::Insert);
        typeText(w.find<QLineEdit>("DBEdit10"), QStringLiteral("江藤"));
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.storedCount(), 4);
        QVERIFY(w.stored(QStringLiteral("所有者住所"), QStringLiteral("江藤")).isNull());

        // Delete asks first; Cancel keeps the record.
        w.seam.confirmAnswers << false << true;
        press(w, NavigatorPanel::Delete);
        QCOMPARE(w.storedCount(), 4);
        press(w, NavigatorPanel::Delete);
        QCOMPARE(w.storedCount(), 3);
    }

    void typedCharactersAndLists()
    {
        ConnectedWindow w({{QStringLiteral("青木")}});
        // A letter in an area column is refused with a beep, digits go in.
        auto* area = w.find<QLineEdit>("DBEdit1");
        area->setFocus();
        typeText(area, QStringLiteral("1a2.5"));
        QCOMPARE(area->text(), QStringLiteral("12.5"));
        QCOMPARE(w.seam.beeps, 1);
        // Free text outside the pick list is stored as typed.
        auto* structure = w.find<QComboBox>("DBComboBox6");
        structure->lineEdit()->setFocus();
        structure->lineEdit()->selectAll();
        typeText(structure->lineEdit(), QStringLiteral("鉄骨３"));
        auto* kind = w.find<QComboBox>("DBComboBox5");
        kind->lineEdit()->setFocus();
        typeText(kind->lineEdit(), QStringLiteral("倉庫"));
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("１Ｆ"), QStringLiteral("青木")).toDouble(), 12.5);
        QCOMPARE(w.stored(QStringLiteral("構造"), QStringLiteral("青木")).toString(), QStringLiteral("鉄骨３"));
        QCOMPARE(w.stored(QStringLiteral("種類"), QStringLiteral("青木")).toString(), QStringLiteral("倉庫"));

        // The fixed list and the district list take only their own entries.
        auto* fixed = w.find<QComboBox>("DBComboBox3");
        fixed->setFocus();
        typeText(fixed, QStringLiteral("x"));
        QCOMPARE(fixed->currentText(), QString());
        emit fixed->activated(1); // the user picks 増
        auto* district = w.find<QComboBox>("DBLookupComboBox1");
        emit district->activated(district->findText(QStringLiteral("南区")));
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("新増改築"), QStringLiteral("青木")).toString(), QStringLiteral("増"));
        QCOMPARE(w.stored(QStringLiteral("所在区"), QStringLiteral("青木")).toString(), QStringLiteral("南区"));
        // A separator line of the structure list is an ordinary value.
        const int separator = structure->findText(QStringLiteral("---"));
        QCOMPARE(separator, 6);
        emit structure->activated(separator);
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("構造"), QStringLiteral("青木")).toString(), QStringLiteral("---"));
    }

    void datePickerKeepsItsTimeOfDay()
    {
        ConnectedWindow w({{QStringLiteral("青木")}});
        auto* picker = w.find<DBDateTimePicker>("DBDateTimePicker1");
        QVERIFY(!picker->isChecked()); // NULL date
        picker->pickDate(QDate(2003, 4, 1));
        QCOMPARE(w.query().state(), DataSetState::Edit);
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("日付"), QStringLiteral("青木")).toString(), QStringLiteral("2003-04-01 16:01:00"));
        // Unticking stores NULL again.
        picker->setChecked(false);
        press(w, NavigatorPanel::Post);
        QVERIFY(w.stored(QStringLiteral("日付"), QStringLiteral("青木")).isNull());
        auto* registered = w.find<DBDateTimePicker>("DBDateTimePicker3");
        registered->pickDate(QDate(2010, 1, 2));
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("登記日"), QStringLiteral("青木")).toString(), QStringLiteral("2010-01-02 16:09:13"));
    }

    void typedDatesThatDoNotExist_data()
    {
        QTest::addColumn<QString>("month"); // typed into the month, then the day
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::addColumn<bool>("byTab");     // left with Tab instead of Enter
        QTest::newRow("day 0") << "3"
                               << "0"
                               << "" << false;
        QTest::newRow("day 0, left by Tab") << "3"
                                            << "0"
                                            << "" << true;
        QTest::newRow("2月30日") << "2"
                                 << "30"
                                 << "" << false;
        QTest::newRow("month 13") << "13"
                                  << "1"
                                  << "" << false;
        QTest::newRow("2月30日, left by Tab") << "2"
                                              << "30"
                                              << "" << true;
        QTest::newRow("a leap day") << "2"
                                    << "29"
                                    << "2004-02-29 16:09:13" << false;
        QTest::newRow("a date, left by Tab") << "3"
                                             << "10"
                                             << "2004-03-10 16:09:13" << true;
    }
    // A typed date that does not exist is refused with a message and the
    // field keeps it and the focus; the record keeps its date.
    void typedDatesThatDoNotExist()
    {
        QFETCH(QString, month);
        QFETCH(QString, day);
        QFETCH(QString, stored);
        QFETCH(bool, byTab);
        ConnectedWindow w({{QStringLiteral("青木")}});
        if (byTab && !w.active)
            QSKIP("the window did not get the focus");
        auto* picker = w.find<DBDateTimePicker>("DBDateTimePicker3");
        picker->pickDate(QDate(2004, 3, 15));
        press(w, NavigatorPanel::Post);
        QDateEdit* edit = picker->dateEdit();
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->setSelectedSection(QDateTimeEdit::MonthSection);
        QTest::keyClicks(edit, month);
        edit->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(edit, day);
        const QString typed = QStringLiteral("2004年%1月%2日").arg(month, day);
        QTest::keyClick(QApplication::focusWidget(), byTab ? Qt::Key_Tab : Qt::Key_Return);
        QApplication::processEvents();
        if (stored.isEmpty()) {
            QTRY_COMPARE(w.seam.messages().size(), 1);
            QVERIFY2(w.seam.messages().first().contains(typed), qPrintable(w.seam.messages().first()));
            QTRY_VERIFY(edit->hasFocus());
        } else {
            QCOMPARE(w.seam.messages(), QStringList{});
        }
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("登記日"), QStringLiteral("青木")).toString(),
                 stored.isEmpty() ? QStringLiteral("2004-03-15 16:09:13") : stored);
    }

    void datePickerFollowsTheFieldRules()
    {
        // Closed: nothing to edit, the pick is refused with a beep.
        ScriptedSeam seam;
        TForm1 closed;
        auto* picker = closed.findChild<DBDateTimePicker*>(QStringLiteral("DBDateTimePicker1"));
        picker->pickDate(QDate(2003, 4, 1));
        QCOMPARE(seam.beeps, 1);
        QVERIFY(!picker->isChecked());
        // An empty result: like typing into an edit box, picking starts a new record.
        ConnectedWindow w({});
        w.find<DBDateTimePicker>("DBDateTimePicker1")->pickDate(QDate(2003, 4, 1));
        QCOMPARE(w.query().state(), DataSetState::Insert);
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.storedCount(), 1);
    }

    void navigatorRowSharesTheOwnerColumn()
    {
        ConnectedWindow w({{QStringLiteral("青木")}});
        QVERIFY(w.active);
        auto* nav = w.find<NavigatorPanel>("DBInspectorBar1");
        QCOMPARE(nav->rowCaption(1), QStringLiteral("氏名"));
        QCOMPARE(nav->rowEditor(1)->text(), QStringLiteral("青木"));
        QCOMPARE(nav->button(NavigatorPanel::First)->width(), 18);
        nav->rowEditor(1)->setFocus();
        nav->rowEditor(1)->selectAll();
        typeText(nav->rowEditor(1), QStringLiteral("青山"));
        w.find<QLineEdit>("DBEdit11")->setFocus(); // leaving writes the column
        QCOMPARE(text(w, "DBEdit10"), QStringLiteral("青山"));
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("count(*)"), QStringLiteral("青山")).toInt(), 1);
    }

    void writeOutsideEditIsRefused()
    {
        ConnectedWindow w({{QStringLiteral("青木")}});
        RecordForm* form = w.form->recordPage()->form();
        auto* owner = w.find<QLineEdit>("DBEdit10");
        owner->setFocus();
        QVERIFY(w.active);
        QVERIFY(owner->hasFocus());
        form->link(QStringLiteral("DBEdit10"))->setTextFromCode(QStringLiteral("転記した名前"));
        QCOMPARE(w.query().state(), DataSetState::Browse); // not started by code
        w.find<QLineEdit>("DBEdit11")->setFocus();
        QCOMPARE(w.seam.messages(), QStringList({QStringLiteral("データセットが編集または挿入モードではありません")}));
        QCOMPARE(owner->text(), QStringLiteral("転記した名前"));
        // After an edit starts, the same text is written by the post.
        press(w, NavigatorPanel::Edit);
        form->link(QStringLiteral("DBEdit10"))->setTextFromCode(QStringLiteral("転記した名前"));
        press(w, NavigatorPanel::Post);
        QCOMPARE(w.stored(QStringLiteral("count(*)"), QStringLiteral("転記した名前")).toInt(), 1);
    }

    void escapeRestoresTheColumn()
    {
        ConnectedWindow w({{QStringLiteral("青木")}});
        auto* owner = w.find<QLineEdit>("DBEdit10");
        owner->setFocus();
        typeText(owner, QStringLiteral("太郎"));
        QCOMPARE(owner->text(), QStringLiteral("青木太郎"));
        QTest::keyClick(owner, Qt::Key_Escape);
        QCOMPARE(owner->text(), QStringLiteral("青木"));
    }

    void indicators()
    {
        ConnectedWindow w({{QStringLiteral("両方"), {}, {}, {}, QByteArray("$headerpas"), QByteArray("xls")},
                           {QStringLiteral("空"), {}, {}, {}, QByteArray(""), QByteArray("")},
                           {QStringLiteral("NULL")}});
        auto* drawing = w.find<ImageCheckLabel>("PCheck1");
        auto* sheet = w.find<ImageCheckLabel>("PCheck2");
        auto zm = [&] { return w.find<FlatEdit>("zmfile")->text(); };
        auto ex = [&] { return w.find<FlatEdit>("exfile")->text(); };
        QVERIFY(drawing->isChecked() && sheet->isChecked());
        QCOMPARE(zm(), QStringLiteral("[*図面あり]"));
        QCOMPARE(ex(), QStringLiteral("[*明細あり]"));
        for (int i = 0; i < 2; ++i) { // zero bytes, then NULL
            press(w, NavigatorPanel::Next);
            QVERIFY(!drawing->isChecked() && !sheet->isChecked());
            QCOMPARE(zm(), QStringLiteral("[*図面なし]"));
            QCOMPARE(ex(), QStringLiteral("[*明細なし]"));
        }
    }

    void indicatorsBeforeConnectAndOnInsert()
    {
        ConnectedWindow w({{QStringLiteral("両方"), {}, {}, {}, QByteArray("z"), QByteArray("x")}});
        press(w, NavigatorPanel::Insert);
        QCOMPARE(w.find<FlatEdit>("zmfile")->text(), QStringLiteral("[*図面なし]"));
        QCOMPARE(w.find<FlatEdit>("exfile")->text(), QStringLiteral("[*明細なし]"));
    }
};

QTEST_MAIN(TestRecordForm)
#include "test_recordform.moc"
