// The program against a SQL Server (the server of TEGARO_TEST_MSSQL): the
// login dialog, browsing, the searches as typed, a drawing stored and shown
// again, a record deleted. Skipped when no server is named.
#include "db/DbFixture.h"

#include "app/TForm1.h"
#include "core/Errors.h"
#include "db/DataAccess.h"
#include "db/login/ConnectCommand.h"
#include "db/login/TSQLLogin.h"
#include "drawing/page/DrawingPage.h"
#include "drawing/page/DrawingStorage.h"
#include "support/ScriptedSeam.h"
#include "support/TcpRelay.h"
#include "records/HouseListModel.h"
#include "records/ListPage.h"
#include "records/RecordSearch.h"
#include "widgets/DateTimePicker.h"
#include "widgets/FlatEdit.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/StatusPanelBar.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QFile>
#include <QPushButton>
#include <QSqlQuery>
#include <QToolButton>
#include <QtTest>

using namespace tegaro;
using dbtest::Backend;

namespace {
const QString kYamada = QStringLiteral("山田　太郎");
const QString kYoshida = QStringLiteral("𠮷田　花子"); // 𠮷 is not in CP932
const QString kSato = QStringLiteral("佐藤　一郎");

QByteArray planBytes()
{
    QFile f(QStringLiteral(TEGARO_FIXTURES "/drawing/plan.hbd"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestSqlServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void connectBrowseSearchStoreAndShow();
    void outageRoad();
    void listPageAndExport();
};

void TestSqlServer::initTestCase()
try {
    DBTEST_NEEDS_SERVER();
    dbtest::prepareServer();
}
DBTEST_CATCH

void TestSqlServer::connectBrowseSearchStoreAndShow()
try {
    // Houses on the server, as another assessor left them.
    Connection check;
    check.setTarget(dbtest::targetFor(Backend::SqlServer, {}));
    check.exec(QStringLiteral("DELETE FROM 基本データ"));
    check.exec(QStringLiteral("DELETE FROM 行政区"));
    for (const QString& d : {QStringLiteral("北区"), QStringLiteral("南区")})
        check.exec(QStringLiteral("INSERT INTO 行政区 (所在区) VALUES (?)"), {d});
    const QString insert = QStringLiteral("INSERT INTO 基本データ (所有者氏名, 所在区, 日付, 備考) VALUES (?, ?, ?, ?)");
    check.exec(insert, {kYamada, QStringLiteral("北区"), QDateTime(QDate(2002, 10, 13), QTime(16, 1)), QStringLiteral("増築予定あり")});
    check.exec(insert, {kYoshida, QStringLiteral("南区"), QDateTime(QDate(2002, 10, 14), QTime(16, 1)), QStringLiteral("①②の棟")});
    check.exec(insert, {kSato, QStringLiteral("北区"), QDateTime(QDate(2003, 1, 10), QTime(16, 1)), QString()});
    auto stored = [&](const QString& sql, const QVariantList& values) {
        QSqlQuery q = check.exec(sql, values);
        return q.next() ? q.value(0) : QVariant();
    };

    ScriptedSeam seam;
    TForm1 form;
    form.show();
    const dbtest::ServerLogin login = dbtest::serverLogin();
    form.connectCommand()->showDialog = [&](TSQLLogin& d) {
        d.FormShow();
        d.SQLname->setText(login.server); // "127.0.0.1,1433"
        d.userid->setText(login.user);
        d.pwd->setText(login.password);
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    };
    form.ToolbarButton976Click();
    QCOMPARE(seam.messages(), QStringList{});
    RecordSet& q = *form.data()->ADOQuery1;
    QCOMPARE(q.recordCount(), 3);
    auto* owner = form.findChild<QLineEdit*>(QStringLiteral("DBEdit10"));
    auto* nav = form.findChild<NavigatorPanel*>(QStringLiteral("DBInspectorBar1"));

    // Every house shows once while browsing.
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        seen << owner->text();
        QTest::mouseClick(nav->button(NavigatorPanel::Next), Qt::LeftButton);
    }
    seen.sort();
    QCOMPARE(seen, (QStringList{kSato, kYamada, kYoshida}));

    // The searches as the user runs them.
    auto* name = form.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    name->setText(QStringLiteral("𠮷"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(owner->text(), kYoshida);
    auto* memo = form.findChild<QLineEdit*>(QStringLiteral("Edit2"));
    memo->setText(QStringLiteral("①②"));
    QTest::keyClick(memo, Qt::Key_Return);
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(owner->text(), kYoshida);
    auto* district = form.findChild<QComboBox*>(QStringLiteral("DBLookupComboPlus1"));
    QCOMPARE(district->count(), 2);
    district->setCurrentIndex(district->findText(QStringLiteral("北区")));
    QCOMPARE(q.recordCount(), 2);
    auto* from = form.findChild<DateTimePicker*>(QStringLiteral("DateTimePicker1"));
    auto* to = form.findChild<DateTimePicker*>(QStringLiteral("DateTimePicker2"));
    from->setDate(QDate(2002, 10, 13)); // from 22:22:32 of that day
    to->setDate(QDate(2003, 1, 10));    // to 22:22:55
    QTest::mouseClick(to->findChild<QLineEdit*>(), Qt::LeftButton);
    QCOMPARE(q.recordCount(), 2); // 𠮷田 and 佐藤; 山田 was seen at 16:01
    QTest::mouseDClick(district->lineEdit(), Qt::LeftButton);
    QCOMPARE(q.recordCount(), 3);

    // A drawing from a file goes into 山田's record and shows again from it.
    name->setText(QStringLiteral("山田"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(owner->text(), kYamada);
    seam.fileAnswers << QStringLiteral(TEGARO_FIXTURES "/drawing/plan.hbd");
    form.drawingPage()->storage().ToolbarButton975Click();
    QCOMPARE(seam.messages(), QStringList{});
    QCOMPARE(stored(QStringLiteral("SELECT zumen FROM 基本データ WHERE 所有者氏名 = ?"), {kYamada}).toByteArray(), planBytes());
    form.drawingPage()->storage().InspectorBar3ItemClick(0, 1); // 図面消去: the page only
    QVERIFY(form.drawingPage()->model().LinesF1.isEmpty());
    form.drawingPage()->storage().InspectorBar3ItemClick(0, 0); // 図面表示
    QCOMPARE(form.drawingPage()->model().LinesF1.size(), 2);
    QCOMPARE(form.findChild<FlatEdit*>(QStringLiteral("zmfile"))->text(), QStringLiteral("□"));
    QVERIFY(form.findChild<ImageCheckLabel*>(QStringLiteral("PCheck1"))->isChecked());

    // Deleting with the navigator removes the row on the server.
    name->setText(QStringLiteral("佐藤"));
    QTest::keyClick(name, Qt::Key_Return);
    seam.confirmAnswers << true;
    QTest::mouseClick(nav->button(NavigatorPanel::Delete), Qt::LeftButton);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM 基本データ"), {}).toInt(), 2);
    QCOMPARE(seam.messages(), QStringList{});
}
DBTEST_CATCH

// The server goes away under an edit and comes back: one box per action,
// in Japanese with the driver's words as detail, and the edit survives.
void TestSqlServer::outageRoad()
try {
    Connection check;
    check.setTarget(dbtest::targetFor(Backend::SqlServer, {}));
    check.exec(QStringLiteral("DELETE FROM 基本データ"));
    check.exec(QStringLiteral("INSERT INTO 基本データ (所有者氏名) VALUES (?)"), {kYamada});
    const dbtest::ServerLogin login = dbtest::serverLogin();
    TcpRelay relay(quint16(login.server.section(u',', 1).toUInt()));

    ScriptedSeam seam;
    TForm1 form;
    form.show();
    form.connectCommand()->showDialog = [&](TSQLLogin& d) {
        d.SQLname->setText(QStringLiteral("127.0.0.1,%1").arg(relay.port()));
        d.userid->setText(login.user);
        d.pwd->setText(login.password);
        d.Button1Click();
    };
    form.ToolbarButton976Click();
    QCOMPARE(seam.messages(), QStringList{});
    auto* nav = form.findChild<NavigatorPanel*>(QStringLiteral("DBInspectorBar1"));
    auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"));
    RecordSet& q = *form.data()->ADOQuery1;
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    memo->setFocus();
    for (const QChar c : QStringLiteral("memo")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(memo, &press);
    }
    QCOMPARE(q.state(), DataSetState::Edit);
    QCOMPARE(memo->toPlainText(), QStringLiteral("memo"));

    relay.cut();
    auto post = [&] {
        seam.clear();
        QTest::mouseClick(nav->button(NavigatorPanel::Post), Qt::LeftButton);
        return seam.messages();
    };
    // The link breaks under the post, then the server cannot be reached.
    QCOMPARE(post(), QStringList{QStringLiteral("データベースサーバーとの接続が切れました。もう一度操作すると接続し直します。")});
    const QString unreachable = QStringLiteral("データベースサーバーに接続できません。サーバーが動いているか、ネットワークを確かめてください。");
    QCOMPARE(post(), QStringList{unreachable});
    QVERIFY2(seam.shown.last().detail.contains(QStringLiteral("FreeTDS")), qPrintable(seam.shown.last().detail));
    seam.clear();
    QTest::mouseClick(nav->button(NavigatorPanel::Refresh), Qt::LeftButton);
    QCOMPARE(seam.messages(), QStringList{unreachable});
    QCOMPARE(q.state(), DataSetState::Edit);
    QCOMPARE(memo->toPlainText(), QStringLiteral("memo"));

    // Back again: the first action connects anew and the post goes through.
    relay.restore();
    const QStringList back = post();
    QVERIFY2(back.isEmpty(), qPrintable(back.join(u'\n') + u'\n' + (seam.shown.isEmpty() ? QString() : seam.shown.last().detail)));
    QCOMPARE(q.state(), DataSetState::Browse);
    QSqlQuery stored = check.exec(QStringLiteral("SELECT 備考 FROM 基本データ WHERE 所有者氏名 = ?"), {kYamada});
    QVERIFY(stored.next());
    QCOMPARE(stored.value(0).toString(), QStringLiteral("memo"));
}
DBTEST_CATCH

// Page 一覧 over the server's houses: the rows, a sort, the totals, and
// 一覧出力 to CSV (compared byte for byte) and to a workbook.
void TestSqlServer::listPageAndExport()
try {
    Connection check;
    check.setTarget(dbtest::targetFor(Backend::SqlServer, {}));
    check.exec(QStringLiteral("DELETE FROM 基本データ"));
    const QString insert = QStringLiteral("INSERT INTO 基本データ (所有者コード, 所有者氏名, 所在区, 日付, 床面積, 評点数, 備考, excel) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    const QVariant noBytes(QMetaType(QMetaType::QByteArray));
    check.exec(insert, {QStringLiteral("00123"), kYoshida, QStringLiteral("南区"), QDateTime(QDate(2002, 10, 14), QTime(16, 1)), 120.25, 98765.0, QStringLiteral("=cmd|' /C calc'!A0"), QByteArray(5000, 'x')});
    check.exec(insert, {QStringLiteral("007"), kYamada, QStringLiteral("北区"), QDateTime(QDate(2002, 10, 13), QTime(16, 1)), 1234.5, 10.0, QStringLiteral("増築, \"予定\""), noBytes});
    check.exec(insert, {QStringLiteral("100"), kSato, QStringLiteral("北区"), QVariant(QMetaType(QMetaType::QDateTime)), 50.0, 0.5, QString(), noBytes});

    ScriptedSeam seam;
    TForm1 form;
    form.show();
    const dbtest::ServerLogin login = dbtest::serverLogin();
    form.connectCommand()->showDialog = [&](TSQLLogin& d) {
        d.FormShow();
        d.SQLname->setText(login.server);
        d.userid->setText(login.user);
        d.pwd->setText(login.password);
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    };
    form.ToolbarButton976Click();
    QCOMPARE(seam.messages(), QStringList{});
    RecordSet& q = *form.data()->ADOQuery1;
    QVERIFY(q.isPaged());
    form.pages()->setCurrentIndex(3);
    ListPage* page = form.listPage();
    QCOMPARE(page->model()->rowCount(), 3);
    QCOMPARE(page->totalsLine()->text(), QStringLiteral("件数 3　床面積 合計 1,404.75 ㎡　評点数 合計 98,775.5"));

    // Sorted by 床面積, largest first: the list only.
    page->grid()->horizontalHeader()->setSortIndicator(listColumnOf(QStringLiteral("床面積")), Qt::DescendingOrder);
    const int owner = listColumnOf(QStringLiteral("所有者氏名"));
    QCOMPARE(page->model()->index(0, owner).data().toString(), kYamada);
    QCOMPARE(page->model()->index(2, owner).data().toString(), kSato);

    const QString csv = QDir::temp().filePath(QStringLiteral("tegaro-sqlserver-list.csv"));
    seam.fileAnswers << csv;
    seam.filterAnswers << 1; // CSV UTF-8
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("ListOutput")), Qt::LeftButton);
    QFile written(csv);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString expected = QStringLiteral(
                                 "所有者コード,所有者氏名,所有者住所,所在区,所在地番,日付,種類,構造,建年,床面積,評点数,家屋番号,登記面積,備考,明細,図面\r\n"
                                 "007,%1,,北区,,2002/10/13,,,,1234.5,10,,,\"増築, \"\"予定\"\"\",,\r\n"
                                 "00123,%2,,南区,,2002/10/14,,,,120.25,98765,,,'=cmd|' /C calc'!A0,○,\r\n"
                                 "100,%3,,北区,,,,,,50,0.5,,,,,\r\n")
                                 .arg(kYamada, kYoshida, kSato);
    QCOMPARE(written.readAll(), QByteArray("\xEF\xBB\xBF") + expected.toUtf8());
    written.remove();

    const QString xlsx = QDir::temp().filePath(QStringLiteral("tegaro-sqlserver-list.xlsx"));
    seam.fileAnswers << xlsx;
    seam.filterAnswers << 0;
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("ListOutput")), Qt::LeftButton);
    QCOMPARE(seam.messages(), QStringList{});
    QVERIFY2(form.statusBarPanels()->message().contains(QStringLiteral("3 件")), qPrintable(form.statusBarPanels()->message()));
    QFile book(xlsx);
    QVERIFY(book.open(QIODevice::ReadOnly));
    QCOMPARE(book.read(2), QByteArray("PK"));
    book.remove();
}
DBTEST_CATCH

QTEST_MAIN(TestSqlServer)
#include "test_sqlserver.moc"
