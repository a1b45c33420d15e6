#include "RecordsFixture.h"

#include "db/DataAccess.h"
#include "records/RecordPage.h"
#include "records/RecordSearch.h"
#include "widgets/DateTimePicker.h"
#include "widgets/FlatEdit.h"
#include "widgets/ImageCheckLabel.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QSignalSpy>
#include <QtTest>

using namespace tegaro;
using records_test::ConnectedWindow;
using records_test::House;
using records_test::typeText;

namespace {
QStringList owners(RecordSet& q)
{
    QStringList out;
    if (!q.isOpen())
        return {QStringLiteral("<closed>")};
    for (int i = 0; i < q.recordCount(); ++i) {
        q.moveTo(i);
        out << q.fieldByName(QStringLiteral("所有者氏名")).asString();
    }
    if (q.recordCount() > 0)
        q.first();
    out.sort();
    return out;
}

QList<House> town()
{
    return {{QStringLiteral("山田"), QStringLiteral("2002-10-13 16:01:00"), QStringLiteral("北区"), QStringLiteral("増築あり"), QByteArray("z")},
            {QStringLiteral("山本"), QStringLiteral("2002-10-14 16:01:00"), QStringLiteral("北区"), QStringLiteral("100%完了")},
            {QStringLiteral("小山"), QStringLiteral("2002-10-15 16:01:00"), QStringLiteral("南区"), QStringLiteral("O'Neil 様")},
            {QStringLiteral("O'Neil"), QStringLiteral("2002-10-15 22:22:55"), QStringLiteral("南区")},
            {QString(), QStringLiteral("2002-10-15 22:22:56"), QStringLiteral("中央区")}};
}
} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void sqlLines()
    {
        QCOMPARE(quotedPrefixPattern(QStringLiteral("ab'c")), QStringLiteral("'ab''c%'"));
        QCOMPARE(prefixSearchLines(PrefixSearch::OwnerName, QStringLiteral("山")),
                 QStringList({"SELECT * FROM 基本データ ", "where 所有者氏名 Like ", "'山%'", ";"}));
        QCOMPARE(prefixSearchLines(PrefixSearch::Memo, QString()).at(1), QStringLiteral("where 備考 Like "));
        QCOMPARE(dateRangeLines(), QStringList({"SELECT * FROM 基本データ ", "Where ", "日付 >= :Date_s", " and ", "日付 <= :Date_e", ";"}));
        QCOMPARE(wholeSeconds(QDateTime(QDate(2002, 10, 13), QTime(22, 22, 32, 987))),
                 QDateTime(QDate(2002, 10, 13), QTime(22, 22, 32)));
    }

    void ownerNameSearch_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("prefix, not contains") << QStringLiteral("山") << QStringList({"山本", "山田"});
        QTest::newRow("a single quote") << QStringLiteral("O'") << QStringList({"O'Neil"});
        QTest::newRow("empty lists all names, not NULL") << QString() << QStringList({"O'Neil", "小山", "山本", "山田"});
        QTest::newRow("percent is a wildcard") << QStringLiteral("%山") << QStringList({"小山", "山本", "山田"});
        QTest::newRow("no match") << QStringLiteral("佐藤") << QStringList();
    }
    void ownerNameSearch()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, found);
        ConnectedWindow w(town());
        auto* edit = w.find<QLineEdit>("Edit1");
        edit->setText(input);
        QTest::keyClick(edit, Qt::Key_A, Qt::ShiftModifier); // other keys do nothing
        edit->setText(input);
        QCOMPARE(w.query().sql(), QStringList({"select * from 基本データ"}));
        QCOMPARE(w.query().recordCount(), 5);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(w.query().sqlText(), prefixSearchLines(PrefixSearch::OwnerName, input).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QCOMPARE(owners(w.query()), found);
    }

    void noMatchKeepsTheIndicators()
    {
        ConnectedWindow w(town());
        QVERIFY(w.find<ImageCheckLabel>("PCheck1")->isChecked()); // 山田 has a drawing
        auto* edit = w.find<QLineEdit>("Edit1");
        edit->setText(QStringLiteral("佐藤"));
        QTest::keyClick(edit, Qt::Key_Enter);
        QCOMPARE(w.query().recordCount(), 0);
        QVERIFY(w.find<ImageCheckLabel>("PCheck1")->isChecked());
        QCOMPARE(w.find<FlatEdit>("zmfile")->text(), QStringLiteral("[*図面あり]"));
        QCOMPARE(w.find<QLineEdit>("DBEdit10")->text(), QString());
    }

    void memoSearch()
    {
        ConnectedWindow w(town());
        auto* edit = w.find<QLineEdit>("Edit2");
        edit->setText(QStringLiteral("100%"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(owners(w.query()), QStringList({"山本"}));
        edit->setText(QStringLiteral("O'Neil"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(owners(w.query()), QStringList({"小山"}));
    }

    void districtSearchRunsOnEveryChange()
    {
        ConnectedWindow w(town());
        auto* combo = w.find<QComboBox>("DBLookupComboPlus1");
        QCOMPARE(combo->count(), 3);
        QSignalSpy opened(w.form->data()->DataSource1, &DataSource::stateChanged);
        combo->lineEdit()->setFocus();
        typeText(combo->lineEdit(), QStringLiteral("南区"));
        // One close and one open per typed character.
        QCOMPARE(opened.count(), 4);
        QCOMPARE(owners(w.query()), QStringList({"O'Neil", "小山"}));
        combo->setCurrentIndex(combo->findText(QStringLiteral("北区")));
        QCOMPARE(owners(w.query()), QStringList({"山本", "山田"}));
        // Double click lists everything, NULL names included; the text stays.
        QTest::mouseDClick(combo->lineEdit(), Qt::LeftButton);
        QCOMPARE(w.query().recordCount(), 5);
        QCOMPARE(w.query().sqlText(), QStringLiteral("SELECT * FROM 基本データ\r\n"));
        QCOMPARE(combo->currentText(), QStringLiteral("北区"));
    }

    void dateRange_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QStringList>("found");
        const QTime s(22, 22, 32), e(22, 22, 55);
        QTest::newRow("initial values") << QDateTime(QDate(2002, 10, 13), s) << QDateTime(QDate(2002, 10, 13), e) << QStringList();
        QTest::newRow("bounds with their times of day")
            << QDateTime(QDate(2002, 10, 13), s) << QDateTime(QDate(2002, 10, 15), e)
            << QStringList({"O'Neil", "小山", "山本"});
        QTest::newRow("start after end") << QDateTime(QDate(2002, 10, 16), s) << QDateTime(QDate(2002, 10, 13), e) << QStringList();
        QTest::newRow("milliseconds cut off")
            << QDateTime(QDate(2002, 10, 15), QTime(16, 1, 0, 900)) << QDateTime(QDate(2002, 10, 15), QTime(22, 22, 55, 999))
            << QStringList({"O'Neil", "小山"});
    }
    void dateRange()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(QStringList, found);
        ConnectedWindow w(town());
        auto* from = w.find<DateTimePicker>("DateTimePicker1");
        auto* to = w.find<DateTimePicker>("DateTimePicker2");
        QCOMPARE(from->value(), QDateTime(QDate(2002, 10, 13), QTime(22, 22, 32)));
        QCOMPARE(to->value(), QDateTime(QDate(2002, 10, 13), QTime(22, 22, 55)));
        from->setValue(start);
        to->setValue(end);
        w.form->recordPage()->search()->DateTimePicker2Click(from->value(), to->value());
        QCOMPARE(w.query().sql(), dateRangeLines());
        QCOMPARE(owners(w.query()), found);
    }

    void dateRangeByClickingTheEndPicker()
    {
        ConnectedWindow w(town());
        auto* to = w.find<DateTimePicker>("DateTimePicker2");
        to->setDate(QDate(2002, 10, 14));     // the user picks a day; the time stays 22:22:55
        QCOMPARE(w.query().recordCount(), 5); // a change alone searches nothing
        QTest::mouseClick(to->findChild<QLineEdit*>(), Qt::LeftButton);
        QCOMPARE(owners(w.query()), QStringList({"山本"}));
    }

    void searchWithoutConnectionReportsAnError()
    {
        tegaro::ScriptedSeam seam;
        TForm1 form;
        auto* edit = form.findChild<QLineEdit*>(QStringLiteral("Edit1"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(seam.shown.size(), 1);
        QCOMPARE(seam.shown.first().kind, ScriptedSeam::Shown::Error);
        QVERIFY(!form.data()->ADOQuery1->isOpen());
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
