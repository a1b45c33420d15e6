// Many assessors on one server: client processes browse, search and post
// to a shared set of house records through the program's record sets, the
// server goes away once in the middle and comes back. Afterwards:
//  - no lost update: the accepted posts of a record form one chain of row
//    versions from the first to the one stored, and the stored values are
//    the last accepted post's;
//  - no half row: every row read and the rows left hold one post's values;
//  - a post is reported as saved only when it was, and a refused one as a
//    conflict, a locked row or a lost connection.
//
// Short in the suite; longer runs are asked for with
//   TEGARO_LOAD_SECONDS (20), TEGARO_LOAD_CLIENTS (6),
//   TEGARO_LOAD_OUTAGE=relay|peer|none (relay: the clients reach the server
//   through a relay that is cut for a while; peer: the server itself is
//   stopped and started with the script TEGARO_TDS_PEER names).
// The records live in a database of their own, TEGARO_LOAD, on the server
// of TEGARO_TEST_MSSQL.
#include "DbFixture.h"

#include "core/Errors.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "support/TcpRelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <memory>

using namespace tegaro;

namespace {

constexpr int kShared = 20;  // the records every client posts to
constexpr int kOthers = 300; // browsed and searched only
const QString kDatabase = QStringLiteral("TEGARO_LOAD");
const QString kConflict = QStringLiteral("このレコードは読み込んだ後に他のユーザーが");
const QString kLocked = QStringLiteral("他のユーザーがこのレコードを更新中です");
const QString kUnreachable = QStringLiteral("データベースサーバーに接続できません");

int setting(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

QString sharedOwner(int r) { return QStringLiteral("共有%1").arg(r, 2, 10, QChar(u'0')); }

// The connection string of the server with another database and port.
QString connectString(const QString& base, int port)
{
    QString s = base;
    s.replace(QRegularExpression(QStringLiteral("DATABASE=[^;]*"), QRegularExpression::CaseInsensitiveOption), QStringLiteral("DATABASE=") + kDatabase);
    if (port > 0)
        s.replace(QRegularExpression(QStringLiteral("PORT=\\d+"), QRegularExpression::CaseInsensitiveOption), QStringLiteral("PORT=%1").arg(port));
    return s;
}

// What one post writes: every field from the same token, so a row holding
// pieces of two posts shows.
struct PostValues {
    QString memo, address, lot;
    double area;
};
PostValues valuesOf(const QString& token, int client, int seq)
{
    return {token, token + QStringLiteral("丁目"), QStringLiteral("番%1").arg(token), double(client * 100000 + seq)};
}

// Empty when the row is whole: as first made, or one post's values.
QString halfRow(const QVariant& memo, const QVariant& address, const QVariant& lot, const QVariant& area)
{
    if (memo.isNull())
        return address.isNull() && lot.isNull() && area.isNull() ? QString() : QStringLiteral("values without a post");
    const QString token = memo.toString();
    const QStringList parts = token.split(u'-');
    if (parts.size() != 2)
        return QStringLiteral("a memo no post writes: ") + token;
    const PostValues v = valuesOf(token, parts[0].mid(1).toInt(), parts[1].toInt());
    if (address.toString() != v.address || lot.toString() != v.lot || qAbs(area.toDouble() - v.area) > 0.001)
        return QStringLiteral("half of post %1: %2, %3, %4").arg(token, address.toString(), lot.toString(), area.toString());
    return {};
}

QString hex(const QVariant& v) { return QString::fromLatin1(v.toByteArray().toHex()); }

// ---- one client process ----

class Client {
public:
    Client(int id, const QString& connect, const QString& report, qint64 deadlineMs)
        : id_(id), report_(report), deadline_(deadlineMs), random_(quint32(id * 7919 + 1))
    {
        conn_.setTarget(odbcStringTarget(connect));
        set_ = std::make_unique<RecordSet>(&conn_);
        QObject::connect(set_.get(), &RecordSet::notice, [this](const QString&) { ++notices_; });
    }

    int run()
    {
        QFile out(report_);
        if (!out.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write ") + report_);
        out_ = &out;
        clock_.start();
        while (clock_.elapsed() < deadline_ && problems_.isEmpty()) {
            const int roll = int(random_.bounded(100));
            if (roll < 45)
                post();
            else if (roll < 75)
                browse();
            else if (roll < 92)
                search();
            else
                refresh();
        }
        for (const QString& p : problems_)
            std::fprintf(stderr, "client %d: %s\n", id_, qPrintable(p));
        return problems_.isEmpty() ? 0 : 1;
    }

private:
    enum class Said {
        Done,
        Conflict,
        Locked,
        Lost,        // the link broke: not known whether it was written
        Unreachable, // never sent
        Other
    };

    Said attempt(const std::function<void()>& call, QString* text = nullptr)
    {
        try {
            call();
            return Said::Done;
        } catch (const EDatabaseLinkLost& e) {
            if (text)
                *text = e.message();
            return Said::Lost;
        } catch (const EDatabaseError& e) {
            if (text)
                *text = e.message();
            if (e.message().startsWith(kConflict))
                return Said::Conflict;
            if (e.message().startsWith(kLocked))
                return Said::Locked;
            if (e.message().startsWith(kUnreachable))
                return Said::Unreachable;
            return Said::Other;
        } catch (const std::exception& e) {
            if (text)
                *text = QString::fromUtf8(e.what());
            return Said::Other;
        }
    }

    void open(const QStringList& sql)
    {
        set_->close();
        set_->setSql(sql);
        set_->open();
        checkShown();
    }

    // Whatever is shown of a shared record is one post's values.
    void checkShown()
    {
        if (!set_->isOpen() || set_->isEmpty())
            return;
        const QString half = halfRow(set_->fieldByName(QStringLiteral("備考")).value(), set_->fieldByName(QStringLiteral("所有者住所")).value(),
                                     set_->fieldByName(QStringLiteral("所在地番")).value(), set_->fieldByName(QStringLiteral("床面積")).value());
        if (!half.isEmpty() && set_->state() == DataSetState::Browse)
            problems_ << QStringLiteral("read a half row: ") + half;
    }

    void tolerate(Said said, const QString& text, const char* what)
    {
        if (said == Said::Other)
            problems_ << QStringLiteral("%1 failed: %2").arg(QString::fromLatin1(what), text);
        if (said == Said::Lost || said == Said::Unreachable)
            ++outages_;
    }

    void browse()
    {
        QString text;
        const Said said = attempt([&] {
            if (!set_->isOpen())
                open({QStringLiteral("select * from 基本データ")});
            for (int i = 0; i < 5; ++i) {
                switch (random_.bounded(5)) {
                case 0: set_->first(); break;
                case 1: set_->last(); break;
                case 2: set_->next(); break;
                case 3: set_->prior(); break;
                default: set_->moveTo(int(random_.bounded(qMax(1, set_->recordCount())))); break;
                }
                checkShown();
            }
        },
                                  &text);
        tolerate(said, text, "browsing");
    }

    void search()
    {
        QString text;
        const Said said = attempt([&] {
            switch (random_.bounded(3)) {
            case 0:
                open({QStringLiteral("SELECT * FROM 基本データ "), QStringLiteral("where 所有者氏名 Like "), QStringLiteral("'共有%'"), QStringLiteral(";")});
                if (set_->recordCount() != kShared)
                    problems_ << QStringLiteral("the shared records' search found %1").arg(set_->recordCount());
                break;
            case 1:
                open({QStringLiteral("SELECT * FROM 基本データ "), QStringLiteral("where 所在区 Like "), QStringLiteral("'北%'"), QStringLiteral(";")});
                break;
            default:
                open({QStringLiteral("SELECT * FROM 基本データ")});
                if (set_->recordCount() != kShared + kOthers)
                    problems_ << QStringLiteral("all records found %1").arg(set_->recordCount());
                break;
            }
        },
                                  &text);
        tolerate(said, text, "searching");
    }

    void refresh()
    {
        QString text;
        const Said said = attempt([&] {
            if (set_->isOpen())
                set_->refresh();
            checkShown();
        },
                                  &text);
        tolerate(said, text, "refreshing");
    }

    // Search the record by its owner, edit, post; after a lost link press
    // ✓ again until the post is settled one way or the other.
    void post()
    {
        const int r = int(random_.bounded(kShared));
        QString text;
        Said said = attempt([&] {
            open({QStringLiteral("SELECT * FROM 基本データ "), QStringLiteral("where 所有者氏名 Like "), u'\'' + sharedOwner(r) + QStringLiteral("%'"), QStringLiteral(";")});
        },
                            &text);
        if (said != Said::Done || set_->recordCount() != 1) {
            if (said == Said::Done)
                problems_ << QStringLiteral("record %1 not found").arg(r);
            tolerate(said, text, "searching before a post");
            return;
        }
        const int seq = ++seq_;
        const QString token = QStringLiteral("c%1-%2").arg(id_).arg(seq);
        const PostValues v = valuesOf(token, id_, seq);
        QVariant before;
        said = attempt([&] {
            set_->edit();
            before = set_->fieldByName(QStringLiteral("RowVer")).value();
            set_->fieldByName(QStringLiteral("備考")).setAsString(v.memo);
            set_->fieldByName(QStringLiteral("所有者住所")).setAsString(v.address);
            set_->fieldByName(QStringLiteral("所在地番")).setAsString(v.lot);
            set_->fieldByName(QStringLiteral("床面積")).setValue(v.area);
        },
                       &text);
        if (said != Said::Done) {
            tolerate(said, text, "editing");
            return;
        }
        const int noticesBefore = notices_;
        bool wasLost = false;
        QString outcome;
        // A user presses ✓ again after a lost link; at the end of the run
        // for a while longer, so posts are settled.
        for (int tries = 0;; ++tries) {
            said = attempt([&] { set_->post(); }, &text);
            if (said == Said::Lost || said == Said::Unreachable) {
                wasLost = wasLost || said == Said::Lost || set_->hasUnsettledPost();
                ++outages_;
                if (clock_.elapsed() > deadline_ + 60000) {
                    outcome = set_->hasUnsettledPost() || wasLost ? QStringLiteral("unsettled") : QStringLiteral("unreachable");
                    break;
                }
                QThread::msleep(200 + random_.bounded(300));
                continue;
            }
            if (said == Said::Done)
                outcome = notices_ > noticesBefore ? QStringLiteral("saved") : QStringLiteral("posted");
            else if (said == Said::Conflict)
                outcome = wasLost ? QStringLiteral("lost-then-conflict") : QStringLiteral("conflict");
            else if (said == Said::Locked)
                outcome = QStringLiteral("locked");
            else
                problems_ << QStringLiteral("post failed: ") + text;
            break;
        }
        if (outcome == u"saved" && !wasLost)
            problems_ << QStringLiteral("saved before a lost link that never was");
        QJsonObject line{{"record", r}, {"token", token}, {"outcome", outcome}, {"before", hex(before)}};
        if (said == Said::Done)
            line.insert("after", hex(set_->fieldByName(QStringLiteral("RowVer")).value()));
        out_->write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
        out_->flush();
        // What the user does next: read the other user's record, or give up.
        attempt([&] {
            if (said == Said::Conflict)
                set_->refreshRecord();
            else if (set_->state() != DataSetState::Browse)
                set_->cancel();
        });
    }

    int fail(const QString& why)
    {
        std::fprintf(stderr, "client %d: %s\n", id_, qPrintable(why));
        return 1;
    }

    int id_;
    QString report_;
    qint64 deadline_;
    QRandomGenerator random_;
    Connection conn_;
    std::unique_ptr<RecordSet> set_;
    QElapsedTimer clock_;
    QFile* out_ = nullptr;
    int seq_ = 0, notices_ = 0, outages_ = 0;
    QStringList problems_;
};

} // namespace

// ---- the coordinator ----

class LoadTest : public QObject {
    Q_OBJECT
private slots:
    void clientsOnOneServer();
};

void LoadTest::clientsOnOneServer()
try {
    DBTEST_NEEDS_SERVER();
    const int seconds = setting("TEGARO_LOAD_SECONDS", 20);
    const int clients = setting("TEGARO_LOAD_CLIENTS", 6);
    const QString outage = qEnvironmentVariable("TEGARO_LOAD_OUTAGE", QStringLiteral("relay"));
    const QString server = qEnvironmentVariable("TEGARO_TEST_MSSQL");
    const QString peer = qEnvironmentVariable("TEGARO_TDS_PEER");
    if (outage == u"peer" && peer.isEmpty())
        QFAIL("TEGARO_LOAD_OUTAGE=peer needs TEGARO_TDS_PEER, the script that stops and starts the server");
    qInfo("%d clients for %d s, outage: %s", clients, seconds, qPrintable(outage));

    // The records: kShared to post to, kOthers to browse.
    Connection admin;
    {
        QString database;
        admin.setTarget(odbcStringTarget(server, &database));
        useSqlServerDatabase(admin, kDatabase);
        if (!sqlServerHasTables(admin))
            createSchema(admin);
        admin.exec(QStringLiteral("DELETE FROM 基本データ"));
        QStringList rows;
        for (int r = 0; r < kShared; ++r)
            rows << QStringLiteral("(N'%1', N'北区')").arg(sharedOwner(r));
        for (int i = 0; i < kOthers; ++i)
            rows << QStringLiteral("(N'住民%1', N'%2')").arg(i).arg(i % 2 ? QStringLiteral("北区") : QStringLiteral("南区"));
        admin.exec(QStringLiteral("INSERT INTO 基本データ (所有者氏名, 所在区) VALUES ") + rows.join(u','));
    }
    QHash<int, QString> firstVersion;
    QSqlQuery v = admin.exec(QStringLiteral("SELECT 所有者氏名, RowVer FROM 基本データ WHERE 所有者氏名 LIKE N'共有%'"));
    while (v.next())
        firstVersion.insert(v.value(0).toString().mid(2).toInt(), hex(v.value(1)));
    QCOMPARE(firstVersion.size(), kShared);

    std::unique_ptr<TcpRelay> relay;
    if (outage == u"relay")
        relay = std::make_unique<TcpRelay>(quint16(QRegularExpression(QStringLiteral("PORT=(\\d+)"), QRegularExpression::CaseInsensitiveOption).match(server).captured(1).toUInt()));
    const QString clientString = connectString(server, relay ? relay->port() : 0);

    QTemporaryDir reports;
    QList<QProcess*> running;
    for (int c = 0; c < clients; ++c) {
        auto* p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--client"), QString::number(c), clientString, reports.filePath(QStringLiteral("%1.jsonl").arg(c)),
                  QString::number(seconds * 1000)});
        QVERIFY(p->waitForStarted());
        running << p;
    }

    // Once in the middle the server goes away for a while.
    QThread::sleep(unsigned(seconds / 2));
    if (outage == u"relay") {
        relay->cut();
        QThread::sleep(4);
        relay->restore();
    } else if (outage == u"peer") {
        QCOMPARE(QProcess::execute(peer, {QStringLiteral("stop")}), 0);
        QThread::sleep(5);
        QCOMPARE(QProcess::execute(peer, {QStringLiteral("start")}), 0);
    }
    for (QProcess* p : running) {
        QVERIFY2(p->waitForFinished((seconds + 180) * 1000), "a client did not end");
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
    }

    // What the clients were told, post by post.
    struct Post {
        QString token, outcome, before, after;
    };
    QHash<int, QList<Post>> posts;
    QHash<QString, int> outcomes;
    for (int c = 0; c < clients; ++c) {
        QFile f(reports.filePath(QStringLiteral("%1.jsonl").arg(c)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        while (!f.atEnd()) {
            const QJsonObject o = QJsonDocument::fromJson(f.readLine()).object();
            posts[o.value("record").toInt()].append({o.value("token").toString(), o.value("outcome").toString(),
                                                     o.value("before").toString(), o.value("after").toString()});
            ++outcomes[o.value("outcome").toString()];
        }
    }
    QStringList summary;
    for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it)
        summary << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    qInfo("posts: %s", qPrintable(summary.join(QStringLiteral(", "))));
    QVERIFY(outcomes.value(QStringLiteral("posted")) + outcomes.value(QStringLiteral("saved")) > 0);

    // Each record: the accepted posts chain its versions, without a fork.
    admin.close();
    QString database;
    admin.setTarget(odbcStringTarget(connectString(server, 0)));
    QSqlQuery rows = admin.exec(QStringLiteral("SELECT 所有者氏名, RowVer, 備考, 所有者住所, 所在地番, 床面積 FROM 基本データ WHERE 所有者氏名 LIKE N'共有%'"));
    int checked = 0;
    while (rows.next()) {
        ++checked;
        const int r = rows.value(0).toString().mid(2).toInt();
        const QString finalVersion = hex(rows.value(1));
        const QString token = rows.value(2).toString();
        const QString half = halfRow(rows.value(2), rows.value(3), rows.value(4), rows.value(5));
        QVERIFY2(half.isEmpty(), qPrintable(QStringLiteral("record %1: %2").arg(r).arg(half)));

        QHash<QString, Post> byBase;
        QSet<QString> afters, unknownTokens;
        int unknown = 0;
        for (const Post& p : posts.value(r)) {
            if (p.outcome == u"posted" || p.outcome == u"saved") {
                QVERIFY2(!byBase.contains(p.before), qPrintable(QStringLiteral("record %1: posts %2 and %3 both accepted over version %4: a lost update").arg(r).arg(byBase.value(p.before).token, p.token, p.before)));
                byBase.insert(p.before, p);
                afters.insert(p.after);
            } else if (p.outcome == u"unsettled" || p.outcome == u"lost-then-conflict") {
                ++unknown; // may have been written: a gap in the chain
                unknownTokens.insert(p.token);
            } else if (p.outcome == u"conflict" || p.outcome == u"locked" || p.outcome == u"unreachable") {
                QVERIFY2(p.token != token, qPrintable(QStringLiteral("record %1 holds %2, a post reported refused").arg(r).arg(token)));
            }
        }
        // Chains start at the first version or after a write not known.
        int starts = 0;
        for (const Post& p : std::as_const(byBase))
            if (p.before != firstVersion.value(r) && !afters.contains(p.before))
                ++starts;
        if (starts > unknown) {
            for (const Post& p : posts.value(r))
                qInfo("record %d: %s %s %s -> %s", r, qPrintable(p.token), qPrintable(p.outcome), qPrintable(p.before), qPrintable(p.after));
            qInfo("record %d: first %s, stored %s with %s", r, qPrintable(firstVersion.value(r)), qPrintable(finalVersion), qPrintable(token));
        }
        QVERIFY2(starts <= unknown, qPrintable(QStringLiteral("record %1: %2 accepted posts over versions no accepted post made").arg(r).arg(starts)));
        // The stored row is the end of a chain: the last accepted post's.
        bool endsChain = false;
        for (const Post& p : std::as_const(byBase))
            if (p.after == finalVersion) {
                QVERIFY2(!byBase.contains(finalVersion), qPrintable(QStringLiteral("record %1: stored version %2 was posted over").arg(r).arg(finalVersion)));
                QCOMPARE(token, p.token);
                endsChain = true;
            }
        if (!endsChain)
            QVERIFY2(finalVersion == firstVersion.value(r) ? byBase.isEmpty() && token.isEmpty() : unknownTokens.contains(token),
                     qPrintable(QStringLiteral("record %1 holds %2 at %3, which no accepted post wrote").arg(r).arg(token, finalVersion)));
    }
    QCOMPARE(checked, kShared);
}
DBTEST_CATCH

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == u"--client")
        return Client(args[2].toInt(), args[3], args[4], args[5].toLongLong()).run();
    // Qt Test ends a test function after five minutes; a long run takes longer.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((qint64(setting("TEGARO_LOAD_SECONDS", 20)) + 300) * 1000));
    LoadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_load.moc"
