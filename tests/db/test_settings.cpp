#include "test_settings.h"

#include "core/Cp932.h"
#include "core/HtmlHelp.h"
#include "support/ScriptedSeam.h"
#include "db/ConnectionText.h"
#include "db/DatabaseTarget.h"
#include "db/HotakuIni.h"
#include "db/SqlText.h"
#include "core/Errors.h"
#include "db/login/TSQLLogin.h"
#include "db/odbc/OdbcLogin.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <unistd.h>

using namespace tegaro;

void SettingsTest::parseSettings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("CR LF") << QByteArray("[SQL]\r\nServer=srv1\r\nUser=sa\r\nPassword=pw\r\n") << "srv1"
                           << "sa"
                           << "pw";
    QTest::newRow("LF") << QByteArray("[SQL]\nServer=srv1\nUser=sa\nPassword=pw") << "srv1"
                        << "sa"
                        << "pw";
    QTest::newRow("lone CR is dropped") << QByteArray("[SQL]\rx\nServer=ab\rc\nUser=s\ra\n") << "abc"
                                        << "sa"
                                        << "";
    QTest::newRow("Ctrl-Z ends the file") << QByteArray("[SQL]\nServer=srv\nUser=sa\x1a\nPassword=pw\n") << "srv"
                                          << "sa"
                                          << "";
    QTest::newRow("blanks stay") << QByteArray("[SQL]\nServer= srv \nUser=  \nPassword=p w ") << " srv "
                                 << "  "
                                 << "p w ";
    QTest::newRow("only the first = separates") << QByteArray("[SQL]\nServer=a=b\nUser==\nPassword=x=y=z") << "a=b"
                                                << "="
                                                << "x=y=z";
    QTest::newRow("no = yields the line") << QByteArray("[SQL]\nsrv\nUser=sa\nsecret") << "srv"
                                          << "sa"
                                          << "secret";
    QTest::newRow("header and server only") << QByteArray("[SQL]\r\nServer=tegaro-demo.sqlite\r\n") << "tegaro-demo.sqlite"
                                            << ""
                                            << "";
    QTest::newRow("empty file") << QByteArray() << ""
                                << ""
                                << "";
    QTest::newRow("line 1 and 5 ignored") << QByteArray("Server=no\nS=a\nU=b\nP=c\nP=d\n") << "a"
                                          << "b"
                                          << "c";
    QTest::newRow("CP932") << toCp932(QStringLiteral("[SQL]\nServer=本庁サーバ①\nUser=ユーザ～\nPassword=㈱")) << "本庁サーバ①"
                           << "ユーザ～"
                           << "㈱";
}

void SettingsTest::parseSettings()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Hotaku.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    LoginValues v = readHotakuIni(path);
    QTEST(v.server, "server");
    QTEST(v.user, "user");
    QTEST(v.password, "password");
    LoginValues fromBytes = parseHotakuIni(bytes);
    QCOMPARE(fromBytes.server, v.server);
    QCOMPARE(fromBytes.password, v.password);
}

void SettingsTest::unreadableSettings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << "missing"
                             << "ファイルが見つかりません";
    QTest::newRow("a folder") << "folder"
                              << "I/O エラー (5)";
    QTest::newRow("no permission") << "denied"
                                   << "I/O エラー (5)";
}

void SettingsTest::unreadableSettings()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Hotaku.ini"));
    if (kind == u"folder")
        QVERIFY(QDir().mkdir(path));
    if (kind == u"denied") {
        if (geteuid() == 0)
            QSKIP("permissions do not stop root");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[SQL]\nServer=x\n");
        f.close();
        QVERIFY(f.setPermissions(QFileDevice::Permissions()));
    }
    // Through the dialog's button: the error box, no field changed, the flag as it was.
    ScriptedSeam seam;
    TSQLLogin dialog;
    dialog.setSettingsPath(path);
    dialog.SQLname->setText(QStringLiteral("before"));
    dialog.ConnectRequested = true;
    QTest::mouseClick(dialog.Button3, Qt::LeftButton);
    QCOMPARE(seam.messages(), QStringList{error});
    QCOMPARE(seam.shown.value(0).kind, ScriptedSeam::Shown::Error);
    QCOMPARE(dialog.SQLname->text(), QStringLiteral("before"));
    QCOMPARE(dialog.userid->text(), QStringLiteral("sa"));
    QVERIFY(dialog.ConnectRequested);
}

void SettingsTest::dialogLayout()
{
    // What the keyboard user meets: the tab order, no default button, the
    // password in clear, the labels naming their fields.
    TSQLLogin d;
    for (QPushButton* b : {d.Button1, d.Button2, d.Button3, d.Button5})
        QVERIFY(!b->isDefault() && !b->autoDefault());
    QCOMPARE(d.pwd->echoMode(), QLineEdit::Normal);
    QCOMPARE(d.Label2->buddy(), d.userid);
    QCOMPARE(d.SQLname->toolTip(), QStringLiteral("SQLsever名を入力します。"));
    QWidget* w = d.SQLname;
    QStringList order;
    for (int i = 0; i < 7; ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    QCOMPARE(order, (QStringList{"SQLname", "userid", "pwd", "Button1", "Button2", "Button3", "Button5"}));
}

void SettingsTest::dialogStates_data()
{
    QTest::addColumn<bool>("before");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("server"); // in the field before the event
    QTest::addColumn<bool>("after");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("serverAfter");

    const QStringList none;
    const QStringList askServer{QStringLiteral("接続サーバー名（サービス名）を入力して下さい。")};
    QTest::newRow("shown") << true << "show"
                           << "s" << false << none << "s";
    QTest::newRow("読込 succeeds") << false << "read"
                                   << "s" << true << none << "ini-server";
    QTest::newRow("消去") << true << "clear"
                          << "s" << false << none << "";
    QTest::newRow("接続 with a server") << false << "connect"
                                        << "s" << true << none << "s";
    QTest::newRow("接続 without a server") << true << "connect"
                                           << "" << false << askServer << "";
    QTest::newRow("close box keeps true") << true << "close"
                                          << "s" << true << none << "s";
    QTest::newRow("close box keeps false") << false << "close"
                                           << "s" << false << none << "s";
    QTest::newRow("ﾍﾙﾌﾟ keeps true") << true << "help"
                                     << "s" << true << none << "s";
}

namespace {
QString helpFileSeen;
unsigned helpCommandSeen = 0;
quintptr helpDataSeen = 0;
void recordHelp(QWidget*, const QString& file, unsigned command, quintptr data)
{
    helpFileSeen = file;
    helpCommandSeen = command;
    helpDataSeen = data;
}
} // namespace

void SettingsTest::dialogStates()
{
    QFETCH(bool, before);
    QFETCH(QString, event);
    QFETCH(QString, server);
    QFETCH(bool, after);
    QFETCH(QStringList, messages);
    QFETCH(QString, serverAfter);

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("Hotaku.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[SQL]\r\nServer=ini-server\r\nUser=ini-user\r\nPassword=ini-pw\r\n");
    ini.close();

    ScriptedSeam seam;
    setHtmlHelpImpl(recordHelp);
    helpFileSeen.clear();
    TSQLLogin d;
    d.setSettingsPath(ini.fileName());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QVERIFY(!d.ConnectRequested);
    d.pwd->setText(QStringLiteral("pw"));
    d.SQLname->setText(server);
    d.ConnectRequested = before;
    if (event == u"show") {
        d.hide();
        d.show();
    } else if (event == u"read") {
        QTest::mouseClick(d.Button3, Qt::LeftButton);
    } else if (event == u"clear") {
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    } else if (event == u"connect") {
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    } else if (event == u"close") {
        d.close();
    } else if (event == u"help") {
        QTest::mouseClick(d.Button5, Qt::LeftButton);
    }
    QCOMPARE(d.ConnectRequested, after);
    QCOMPARE(seam.messages(), messages);
    QCOMPARE(d.SQLname->text(), serverAfter);
    bool closes = event == u"connect" || event == u"close";
    QCOMPARE(d.isVisible(), !closes);
    if (event == u"clear") {
        QCOMPARE(d.pwd->text(), QString());
        QCOMPARE(d.userid->text(), QStringLiteral("sa"));
    }
    if (event == u"read")
        QCOMPARE(d.userid->text() + u'/' + d.pwd->text(), QStringLiteral("ini-user/ini-pw"));
    if (event == u"help") {
        QCOMPARE(helpFileSeen, defaultHelpFilePath());
        QCOMPARE(applicationHelpFile(), defaultHelpFilePath());
        QCOMPARE(helpCommandSeen, HH_HELP_CONTEXT);
        QCOMPARE(helpDataSeen, quintptr(9));
    }
    setHtmlHelpImpl(nullptr);
}

void SettingsTest::dialogKeysAndModalClose()
{
    // Enter and Esc do nothing; the values stay for the next showing.
    TSQLLogin d;
    bool stillOpenAfterKeys = false;
    QTimer::singleShot(0, &d, [&] {
        d.SQLname->setFocus();
        QTest::keyClicks(d.SQLname, QStringLiteral("host\\inst"));
        QTest::keyClick(&d, Qt::Key_Escape);
        QTest::keyClick(d.SQLname, Qt::Key_Return);
        stillOpenAfterKeys = d.isVisible();
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    d.exec();
    QVERIFY(stillOpenAfterKeys);
    QVERIFY(d.ConnectRequested);
    QTimer::singleShot(0, &d, [&] { d.close(); });
    d.exec();
    QVERIFY(!d.ConnectRequested); // reset when shown, unchanged by the close box
    QCOMPARE(d.SQLname->text(), QStringLiteral("host\\inst"));
}

void SettingsTest::connectionText_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << "srv"
                           << "sa"
                           << "pw"
                           << "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=MUNEYA;"
                              "Data Source=srv;Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
                              "Workstation ID=srv;PASSWORD=pw";
    QTest::newRow("empty password") << "srv"
                                    << ""
                                    << ""
                                    << "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=;Initial Catalog=MUNEYA;"
                                       "Data Source=srv;Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
                                       "Workstation ID=srv;PASSWORD=";
    QTest::newRow("host\\instance") << "host\\SQL2000"
                                    << "sa"
                                    << "x"
                                    << "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=MUNEYA;"
                                       "Data Source=host\\SQL2000;Use Procedure for Prepare=1;Auto Translate=True;"
                                       "Packet Size=4096;Workstation ID=host\\SQL2000;PASSWORD=x";
    QTest::newRow("unsafe characters") << "a;b=c"
                                       << "u;=}"
                                       << "p;w=}{;" << QString();
}

void SettingsTest::connectionText()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, text);
    QString built = buildConnectionText(server, user, password);
    if (!text.isEmpty())
        QCOMPARE(built, text);
    // The data-access layer gets the values back as typed.
    ConnectionSettings s = parseConnectionText(built);
    QCOMPARE(s.dataSource, server);
    QCOMPARE(s.workstationId, server);
    QCOMPARE(s.userId, user);
    QCOMPARE(s.password, password);
    QCOMPARE(s.catalog, QStringLiteral("MUNEYA"));
    QCOMPARE(s.packetSize, 4096);
}

void SettingsTest::backendFromConnectionText()
{
    DatabaseTarget embedded = targetFromSettings(parseConnectionText(buildConnectionText("demo.sqlite", "sa", "")), "/opt/app");
    QCOMPARE(embedded.driver, QStringLiteral("QSQLITE"));
    QCOMPARE(embedded.sqliteFile, QStringLiteral("/opt/app/demo.sqlite"));
    QVERIFY(embedded.databaseName.endsWith(QStringLiteral("?mode=rw")));

    DatabaseTarget server = targetFromSettings(parseConnectionText(buildConnectionText("db1\\INST", "sa", "p;w}d")), "/opt");
    QCOMPARE(server.dialect, SqlDialect::SqlServer);
    for (const char* piece : {"DRIVER=FreeTDS;", "SERVER=db1\\INST;", "DATABASE=MUNEYA;", "WSID=db1\\INST;",
                              "ClientCharset=UTF-8;"})
        QVERIFY2(server.databaseName.contains(QString::fromUtf8(piece)), piece);
    // The login goes to the driver apart from the string.
    QVERIFY(!server.databaseName.contains(QStringLiteral("PORT=")));
    QVERIFY(!server.databaseName.contains(QStringLiteral("UID=")));
    QVERIFY(!server.databaseName.contains(QStringLiteral("p;w")));
    QCOMPARE(server.userName + u'/' + server.password, QStringLiteral("sa/p;w}d"));
    QVERIFY(server.options.contains(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=")));
    QVERIFY(server.options.contains(QStringLiteral("SQL_ATTR_PACKET_SIZE=4096")));
    QCOMPARE(scrubSecrets(QStringLiteral("failed: p;w}d"), server.secrets).contains(u"p;w"), false);

    DatabaseTarget withPort = targetFromSettings(parseConnectionText(buildConnectionText("10.0.0.5,1500", "sa", "")), "/");
    QVERIFY(withPort.databaseName.contains(QStringLiteral("SERVER=10.0.0.5;PORT=1500;")));

    // A whole ODBC string: its login is taken out, and its database when asked.
    QString database;
    DatabaseTarget odbc = odbcStringTarget(QStringLiteral("DRIVER={FreeTDS};SERVER=h;UID=u;PWD={x}};y};DATABASE=D;"), &database);
    QCOMPARE(odbc.userName + u'/' + odbc.password, QStringLiteral("u/x};y"));
    QCOMPARE(database, QStringLiteral("D"));
    QCOMPARE(odbc.databaseName, QStringLiteral("DRIVER=FreeTDS;SERVER=h;"));
}

void SettingsTest::odbcAttributes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("inString"); // can go into a connection string for every driver

    QTest::newRow("plain") << "Tegaro_Test_1" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("closing brace") << "a}b" << true;
    QTest::newRow("equals and spaces inside") << "a = b" << true;
    QTest::newRow("semicolon") << "p;q" << true;
    QTest::newRow("leading blank") << " pw" << true;
    QTest::newRow("opening brace first") << "{pw" << true;
    QTest::newRow("semicolon and brace") << "x};y" << false;
    QTest::newRow("braced") << "{pw}" << false;
    QTest::newRow("Japanese") << "日本語の合言葉" << true;
}

void SettingsTest::odbcAttributes()
{
    QFETCH(QString, value);
    QFETCH(bool, inString);
    QCOMPARE(odbc::connectValue(value).has_value(), inString);
    // Whatever the value, the standard reading gives it back.
    const QList<odbc::Attribute> attributes{{QStringLiteral("SERVER"), QStringLiteral("h")},
                                            {QStringLiteral("PWD"), value},
                                            {QStringLiteral("APP"), QStringLiteral("Tegaro")}};
    QCOMPARE(odbc::parseConnectString(odbc::buildConnectString(attributes)), attributes);
}

void SettingsTest::sqlForBothDialects_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("sent"); // empty: a missing parameter is an error
    QTest::addColumn<int>("values");
    QTest::addColumn<QString>("table"); // of a plain select *, else empty

    QTest::newRow("date range") << false << "SELECT * FROM 基本データ \r\nWhere 日付 >= :Date_s and 日付 <= :Date_e;"
                                << "SELECT * FROM 基本データ \r\nWhere 日付 >= ? and 日付 <= ?;" << 2 << "基本データ";
    QTest::newRow("colon in a literal") << false << "select * from 基本データ where 備考 Like 'a:b''c%'"
                                        << "select * from 基本データ where 備考 Like 'a:b''c%'" << 0 << "基本データ";
    QTest::newRow("Japanese literal on SQL Server") << true << "SELECT * FROM 基本データ where 所有者氏名 Like '山''田%'"
                                                    << "SELECT * FROM 基本データ where 所有者氏名 Like N'山''田%'" << 0 << "基本データ";
    QTest::newRow("already N'...'") << true << "select x from t where a = N'b'"
                                    << "select x from t where a = N'b'" << 0 << "";
    QTest::newRow("bracketed names") << true << "select * from [行政区]"
                                     << "select * from [行政区]" << 0 << "行政区";
    QTest::newRow("parameter not set") << false << "select * from t where d = :Other"
                                       << "" << 0 << "t";
}

void SettingsTest::sqlForBothDialects()
{
    QFETCH(bool, server);
    QFETCH(QString, sql);
    QFETCH(QString, sent);
    QFETCH(int, values);
    QFETCH(QString, table);
    SqlDialect dialect = server ? SqlDialect::SqlServer : SqlDialect::SQLite;
    const QHash<QString, QVariant> params{{QStringLiteral("Date_s"), QDateTime(QDate(2002, 10, 13), QTime(22, 22, 32))},
                                          {QStringLiteral("Date_e"), QDateTime(QDate(2002, 10, 13), QTime(22, 22, 55))}};
    if (sent.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, bindNamed(dialect, sql, params));
    } else {
        BoundSql bound = bindNamed(dialect, sql, params);
        QCOMPARE(bound.text, sent);
        QCOMPARE(bound.values.size(), values);
        if (values)
            QCOMPARE(bound.values[0], QVariant(QStringLiteral("2002-10-13 22:22:32")));
    }
    QString found, rest;
    QCOMPARE(splitSelectAll(sql, found, rest) ? found : QString(), table);
}
