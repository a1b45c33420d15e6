// Cell texts: values as their number formats show them.
#include "HeapInUse.h"
#include "sheets/numfmt/NumberFormat.h"

#include <QtTest>

using namespace tegaro::sheets;

class TestFormats : public QObject {
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void general_data();
    void general();
    void dates_data();
    void dates();
    void texts_data();
    void texts();
    void longCodesAreNotKeptWithoutBound();
};

void TestFormats::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shown");
    // floor areas with two decimals: rounding as Excel does, not as binary floats fall
    QTest::newRow("area") << 85.5 << "0.00"
                          << "85.50";
    QTest::newRow("area half up") << 12.345 << "0.00"
                                  << "12.35";
    QTest::newRow("area 2.675") << 2.675 << "0.00"
                                << "2.68";
    QTest::newRow("area tiny negative") << -0.001 << "0.00"
                                        << "0.00";
    QTest::newRow("area unit") << 85.5 << "0.00\"㎡\""
                               << "85.50㎡";
    QTest::newRow("area built-in 2") << 42.125 << builtInFormat(2) << "42.13";
    QTest::newRow("area rounds up into the whole") << 0.006 << "0.00"
                                                   << "0.01";
    QTest::newRow("area below the last place") << 0.0006 << "0.00"
                                               << "0.00";
    QTest::newRow("area carry through nines") << 999.995 << "0.00"
                                              << "1000.00";
    QTest::newRow("area beyond 15 digits") << 123456789012345678.0 << "0.0"
                                           << "123456789012346000.0";
    // scores with thousands separators
    QTest::newRow("score") << 1234567.0 << "#,##0"
                           << "1,234,567";
    QTest::newRow("score carry") << 999.5 << "#,##0"
                                 << "1,000";
    QTest::newRow("score negative") << -1234.0 << "#,##0"
                                    << "-1,234";
    QTest::newRow("score zero") << 0.0 << "#,##0"
                                << "0";
    QTest::newRow("score below one") << 0.004 << "#,##0.00"
                                     << "0.00";
    QTest::newRow("score carry to a new group") << 999999.5 << "#,##0"
                                                << "1,000,000";
    QTest::newRow("score huge") << 1e20 << "#,##0"
                                << "100,000,000,000,000,000,000";
    QTest::newRow("score decimals") << 1234.5 << "#,##0.00"
                                    << "1,234.50";
    QTest::newRow("score built-in 3") << 98765.4 << builtInFormat(3) << "98,765";
    QTest::newRow("yen built-in 5") << -1500.0 << builtInFormat(5) << "¥-1,500";
    QTest::newRow("yen escaped") << 1500.0 << "\\¥#,##0"
                                 << "¥1,500";
    QTest::newRow("thousands scaled") << 1234567.0 << "#,##0,"
                                      << "1,235";
    QTest::newRow("postal code") << 1234567.0 << "000-0000"
                                 << "123-4567";
    QTest::newRow("leading zeros") << 7.0 << "000"
                                   << "007";
    QTest::newRow("optional decimals") << 1.5 << "0.0#"
                                       << "1.5";
    QTest::newRow("no integer digits") << 0.5 << ".00"
                                       << ".50";
    QTest::newRow("percent") << 0.125 << "0%"
                             << "13%";
    QTest::newRow("percent decimals") << 0.125 << "0.0%"
                                      << "12.5%";
    QTest::newRow("scientific") << 12345.0 << "0.00E+00"
                                << "1.23E+04";
    QTest::newRow("scientific small") << 0.00012 << "0.00E+00"
                                      << "1.20E-04";
    QTest::newRow("engineering") << 12345.0 << "##0.0E+0"
                                 << "12.3E+3";
    QTest::newRow("fraction") << 1.25 << "# ?/?"
                              << "1 1/4";
    QTest::newRow("fraction two digits") << 0.3125 << "# ?\?/?\?"
                                         << "  5/16";
    // sections: positive;negative;zero;text, conditions decide the section
    QTest::newRow("negative section") << -5.0 << "0;(0)"
                                      << "(5)";
    QTest::newRow("negative colour") << -5.0 << "#,##0;[Red]-#,##0"
                                     << "-5";
    QTest::newRow("zero section") << 0.0 << "0;-0;\"ゼロ\""
                                  << "ゼロ";
    QTest::newRow("hidden") << 12.0 << ";;;"
                            << "";
    QTest::newRow("condition big") << 150.0 << "[>=100]\"大\";[<0]\"負\";\"小\""
                                   << "大";
    QTest::newRow("condition negative") << -1.0 << "[>=100]\"大\";[<0]\"負\";\"小\""
                                        << "負";
    QTest::newRow("condition else") << 5.0 << "[>=100]\"大\";[<0]\"負\";\"小\""
                                    << "小";
    QTest::newRow("condition with digits") << 1500.0 << "[Blue][>1000]#,##0\"点\";0"
                                           << "1,500点";
    QTest::newRow("accounting zero") << 0.0 << builtInFormat(41) << " - ";
    QTest::newRow("accounting") << 1234.0 << builtInFormat(41) << " 1,234 ";
}

void TestFormats::numbers()
{
    QFETCH(double, value);
    QFETCH(QString, code);
    QFETCH(QString, shown);
    QCOMPARE(formatNumber(value, code), shown);
}

void TestFormats::general_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("integer") << 100.0 << "100";
    QTest::newRow("sum of tenths") << 0.1 + 0.2 << "0.3";
    QTest::newRow("eleven characters") << 1234567.891234 << "1234567.891";
    QTest::newRow("negative takes a character") << -1234567.891234 << "-1234567.89";
    QTest::newRow("eleven digits") << 12345678901.0 << "12345678901";
    QTest::newRow("too large") << 123456789012.0 << "1.23457E+11";
    QTest::newRow("power of ten") << 1e11 << "1E+11";
    QTest::newRow("third") << 1.0 / 3 << "0.333333333";
    QTest::newRow("small keeps digits") << 0.000012345678 << "1.23457E-05";
    QTest::newRow("small short") << 0.0001 << "0.0001";
    QTest::newRow("tiny") << 1e-10 << "1E-10";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("rounds up to next power") << 99999999999.9 << "1E+11";
}

void TestFormats::general()
{
    QFETCH(double, value);
    QFETCH(QString, shown);
    QCOMPARE(formatGeneral(value), shown);
    QCOMPARE(formatNumber(value, QStringLiteral("General")), shown);
    QCOMPARE(formatNumber(value, QStringLiteral("G/標準")), shown);
}

void TestFormats::dates_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("shown");
    const QString eraLong = QStringLiteral("[$-411]ggge\"年\"m\"月\"d\"日\"");
    QTest::newRow("short date 14") << 43586.0 << builtInFormat(14) << false << "2019/5/1";
    QTest::newRow("kanji date 31") << 43586.0 << builtInFormat(31) << false << "2019年5月1日";
    QTest::newRow("reiwa first day") << 43586.0 << eraLong << false << "令和1年5月1日";
    QTest::newRow("heisei last day") << 43585.0 << eraLong << false << "平成31年4月30日";
    QTest::newRow("showa last day") << 32515.0 << builtInFormat(27) << false << "S64.1.7";
    QTest::newRow("heisei first day") << 32516.0 << builtInFormat(27) << false << "H1.1.8";
    QTest::newRow("taisho last day") << 9855.0 << eraLong << false << "大正15年12月24日";
    QTest::newRow("showa first day") << 9856.0 << eraLong << false << "昭和1年12月25日";
    QTest::newRow("meiji last day") << 4594.0 << QStringLiteral("gge") << false << "明45";
    QTest::newRow("taisho first day") << 4595.0 << QStringLiteral("gge") << false << "大1";
    QTest::newRow("era year padded") << 45366.0 << QStringLiteral("ggg ee/mm/dd") << false << "令和 06/03/15";
    QTest::newRow("weekday") << 43586.0 << QStringLiteral("m/d(aaa)") << false << "5/1(水)";
    QTest::newRow("weekday long") << 45366.0 << QStringLiteral("aaaa") << false << "金曜日";
    QTest::newRow("english month") << 36526.0 << builtInFormat(15) << false << "1-Jan-00";
    QTest::newRow("year month 34") << 45366.0 << builtInFormat(34) << false << "2024年3月";
    QTest::newRow("fictitious leap day") << 60.0 << QStringLiteral("yyyy/m/d") << false << "1900/2/29";
    QTest::newRow("after leap day") << 61.0 << QStringLiteral("yyyy/m/d") << false << "1900/3/1";
    QTest::newRow("day zero") << 0.0 << QStringLiteral("yyyy/m/d") << false << "1900/1/0";
    QTest::newRow("1904 system") << 0.0 << QStringLiteral("yyyy/m/d") << true << "1904/1/1";
    QTest::newRow("1904 system later") << 43586.0 - 1462 << builtInFormat(14) << true << "2019/5/1";
    QTest::newRow("noon 12-hour") << 0.5 << builtInFormat(18) << false << "12:00 PM";
    QTest::newRow("evening") << 0.75 << builtInFormat(20) << false << "18:00";
    QTest::newRow("minutes not months") << 0.5 + 5.0 / 1440 << QStringLiteral("h:mm") << false << "12:05";
    QTest::newRow("kanji time 32") << 0.5 + 5.0 / 1440 << builtInFormat(32) << false << "12時05分";
    QTest::newRow("elapsed hours") << 1.5 << builtInFormat(46) << false << "36:00:00";
    QTest::newRow("seconds round to next day") << 0.99999999 << QStringLiteral("yyyy/m/d h:mm:ss") << false << "1900/1/1 0:00:00";
    QTest::newRow("tenths of seconds") << 1.25 / 86400 << builtInFormat(47) << false << "00:01.3";
    QTest::newRow("date and time 22") << 43586.75 << builtInFormat(22) << false << "2019/5/1 18:00";
    QTest::newRow("negative date") << -1.0 << builtInFormat(14) << false << "########";
}

void TestFormats::dates()
{
    QFETCH(double, serial);
    QFETCH(QString, code);
    QFETCH(bool, date1904);
    QFETCH(QString, shown);
    QCOMPARE(formatNumber(serial, code, date1904), shown);
}

void TestFormats::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shown");
    QTest::newRow("general") << "山田"
                             << "General"
                             << "山田";
    QTest::newRow("at") << "山田"
                        << "@"
                        << "山田";
    QTest::newRow("prefix") << "山田"
                            << "\"氏名:\"@"
                            << "氏名:山田";
    QTest::newRow("fourth section") << "abc"
                                    << "0;-0;0;\"[\"@\"]\""
                                    << "[abc]";
    QTest::newRow("number format leaves text") << " "
                                               << "#,##0"
                                               << " ";
}

void TestFormats::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, code);
    QFETCH(QString, shown);
    QCOMPARE(formatText(text, code), shown);
}

void TestFormats::longCodesAreNotKeptWithoutBound()
{
    // Parsed codes are kept for the next cell; a workbook with a great many
    // long codes must not leave hundreds of MB behind (1,500 codes of 4,000
    // digits take over 400 MB once parsed).
    const qint64 before = heapInUse();
    if (before == 0)
        QSKIP("the heap's use is not known here");
    for (int i = 0; i < 1500; ++i) {
        const QString code = QStringLiteral("\"%1\"").arg(i) + QString(4000, u'0');
        QCOMPARE(formatNumber(7, code), QString::number(i) + QString(3999, u'0') + u'7');
    }
    const qint64 grown = heapInUse() - before;
    QVERIFY2(grown < 64 * 1024 * 1024, qPrintable(QStringLiteral("the heap grew by %1 bytes").arg(grown)));
    // what is kept still serves
    QCOMPARE(formatNumber(85.5, QStringLiteral("0.00")), QStringLiteral("85.50"));
}

QObject* makeTestFormats() { return new TestFormats; }

#include "test_formats.moc"
