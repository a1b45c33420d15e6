#include "db/Connection.h"

#include "core/Errors.h"
#include "db/ConnectionText.h"
#include "db/KeyColumn.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSet>
#include <QSqlField>
#include <QSqlRecord>
#include <atomic>

namespace tegaro {

namespace {
std::atomic<int> connectionCounter{0};

const QString kUnreachable = QStringLiteral(
    "データベースサーバーに接続できません。サーバーが動いているか、ネットワークを確かめてください。");
const QString kLinkLost = QStringLiteral(
    "データベースサーバーとの接続が切れました。もう一度操作すると接続し直します。");
const QString kLocked = QStringLiteral("他のユーザーがこのレコードを更新中です。しばらくしてからやり直してください。");
const QString kTooLong = QStringLiteral(
    "データベースの処理が%1秒で終わらなかったため中止しました。しばらくしてからやり直してください。");

// A statement that waited for a row another session holds: SQLite's busy
// and locked, SQL Server's lock timeout (1222) and deadlock victim (1205),
// the peer's wording of the lock timeout.
bool waitedForLock(const QSqlError& error, SqlDialect dialect)
{
    const QString code = error.nativeErrorCode();
    if (dialect == SqlDialect::SQLite) {
        bool ok = false;
        const int primary = code.toInt(&ok) & 0xFF;
        if (ok && (primary == 5 || primary == 6))
            return true;
    }
    const QString native = code.section(u' ', 1, 1);
    return native == u"1222" || native == u"1205" || error.databaseText().contains(u"lock timeout", Qt::CaseInsensitive)
        || error.databaseText().contains(u"database is locked", Qt::CaseInsensitive);
}

bool ranTooLong(const QSqlError& error) { return error.nativeErrorCode().startsWith(u"HYT00"); }

ColumnKind kindFromSqliteType(const QString& declared)
{
    QString t = declared.toUpper();
    if (t.contains(u"INT"))
        return ColumnKind::Integer;
    if (t.contains(u"BLOB") || t.contains(u"BINARY"))
        return ColumnKind::Blob;
    if (t.contains(u"DATE") || t.contains(u"TIME"))
        return ColumnKind::DateTime;
    if (t.contains(u"REAL") || t.contains(u"FLOA") || t.contains(u"DOUB") || t.contains(u"NUMERIC")
        || t.contains(u"DECIMAL"))
        return ColumnKind::Real;
    return ColumnKind::Text;
}

} // namespace

Connection::Connection(QObject* parent)
    : QObject(parent), name_(QStringLiteral("tegaro-%1").arg(++connectionCounter))
{
}

Connection::~Connection()
{
    close();
    QSqlDatabase::removeDatabase(name_);
}

void Connection::setConnectionText(const QString& text)
{
    if (haveTarget_ && text == text_)
        return;
    close();
    text_ = text;
    target_ = targetFromSettings(parseConnectionText(text), QCoreApplication::applicationDirPath());
    haveTarget_ = true;
}

void Connection::setTarget(const DatabaseTarget& target)
{
    close();
    text_.clear();
    target_ = target;
    haveTarget_ = true;
}

QSqlDatabase Connection::database() const { return QSqlDatabase::database(name_, false); }

bool Connection::isOpen() const { return QSqlDatabase::contains(name_) && database().isOpen(); }

void Connection::open()
{
    if (isOpen() && !broken_)
        return;
    if (!haveTarget_)
        throw EDatabaseError(QStringLiteral("接続文字列が設定されていません"));
    if (!target_.sqliteFile.isEmpty() && !QFileInfo(target_.sqliteFile).isFile())
        throw EDatabaseError(QStringLiteral("データベースファイルが見つかりません: %1").arg(target_.sqliteFile));
    if (!QSqlDatabase::isDriverAvailable(target_.driver))
        throw EDatabaseError(QStringLiteral("データベースドライバ %1 がありません").arg(target_.driver));
    if (broken_)
        database().close();
    broken_ = false;
    columns_.clear();
    QSqlDatabase::removeDatabase(name_);
    QSqlDatabase db = QSqlDatabase::addDatabase(target_.driver, name_);
    db.setDatabaseName(target_.databaseName);
    db.setUserName(target_.userName);
    db.setPassword(target_.password);
    // Waits end: SQLite's busy timeout, the driver's query timeout.
    QString options = target_.options;
    if (target_.waitSeconds > 0) {
        if (target_.driver == u"QSQLITE")
            options += QStringLiteral(";QSQLITE_BUSY_TIMEOUT=%1").arg(target_.waitSeconds * 1000);
        else if (target_.dialect == SqlDialect::SqlServer)
            options += QStringLiteral(";SQL_ATTR_QUERY_TIMEOUT=%1").arg(target_.waitSeconds);
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        QString why = scrub(db.lastError().text());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        if (target_.dialect == SqlDialect::SqlServer)
            throw EDatabaseError(kUnreachable, why);
        throw EDatabaseError(QStringLiteral("データベースを開けません。"), why);
    }
    // A row another session holds is waited for this long, then the
    // statement fails with the lock timeout. It goes with the session's
    // first statement: a fresh session on a server pays for every round
    // trip before the first record shows.
    session_.clear();
    if (target_.dialect == SqlDialect::SqlServer && target_.waitSeconds > 0)
        session_ = QStringLiteral("SET LOCK_TIMEOUT %1;\r\n").arg(target_.waitSeconds * 1000);
    if (target_.dialect == SqlDialect::SQLite) {
        // SQLite reads a file only when asked; a file that is no database
        // must fail here, as a refused connection does.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            QString why = scrub(probe.lastError().text());
            probe = QSqlQuery();
            db.close();
            throw EDatabaseError(QStringLiteral("データベースを開けません。"), why);
        }
    }
}

bool Connection::verify()
{
    if (!isOpen() || broken_)
        return false;
    QSqlQuery probe(database());
    if (!probe.exec(QStringLiteral("SELECT 1")))
        broken_ = true;
    return !broken_;
}

void Connection::close()
{
    emit aboutToClose();
    broken_ = false;
    columns_.clear();
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
}

QSqlQuery Connection::exec(const QString& sql, const QVariantList& values, bool forwardOnly)
{
    open();
    const bool lose = loseLink_ && !sql.trimmed().startsWith(u"SELECT", Qt::CaseInsensitive);
    if (lose) {
        loseLink_ = false;
        if (loss_ == LinkLoss::BeforeRunning) {
            broken_ = true;
            throw EDatabaseLinkLost(kLinkLost, QStringLiteral("the link was cut on purpose"));
        }
    }
    // Settings made inside a statement with parameters last only as long
    // as it runs: those go alone first.
    if (!session_.isEmpty() && !values.isEmpty()) {
        QSqlQuery set(database());
        if (!set.exec(session_))
            fail(set.lastError());
        session_.clear();
    }
    QSqlQuery q(database());
    q.setForwardOnly(forwardOnly);
    bool ok = q.prepare(withSession(sql, values));
    for (qsizetype i = 0; ok && i < values.size(); ++i)
        q.bindValue(int(i), values[i]);
    if (!ok || !q.exec())
        fail(q.lastError());
    if (values.isEmpty())
        session_.clear();
    if (lose) {
        broken_ = true;
        throw EDatabaseLinkLost(kLinkLost, QStringLiteral("the answer was lost on purpose"));
    }
    return q;
}

std::vector<qint64> Connection::readKeys(const QString& sql, const QVariantList& values)
{
    open();
    if (!session_.isEmpty() && !values.isEmpty())
        exec(QStringLiteral("SELECT 1"));
    std::vector<qint64> keys;
    QSqlError error;
    if (!readKeyColumn(database(), withSession(sql, values), values, keys, error))
        fail(error);
    if (values.isEmpty())
        session_.clear();
    return keys;
}

QString Connection::withSession(const QString& sql, const QVariantList& values) const
{
    return session_.isEmpty() || !values.isEmpty() ? sql : session_ + sql;
}

void Connection::fail(const QSqlError& error)
{
    // The driver's words mean little to the user: they go in the detail.
    // After a lost link or a statement given up the next statement connects
    // again. (Qt's SQLite driver calls every failed step a connection error;
    // a file has no link to lose.)
    const QString why = scrub(error.text());
    if (waitedForLock(error, target_.dialect))
        throw EDatabaseError(kLocked, why);
    if (ranTooLong(error)) {
        broken_ = true;
        throw EDatabaseLinkLost(kTooLong.arg(target_.waitSeconds), why);
    }
    if (error.type() == QSqlError::ConnectionError && target_.driver != u"QSQLITE") {
        broken_ = true;
        throw EDatabaseLinkLost(kLinkLost, why);
    }
    throw EDatabaseError(why);
}

QList<ColumnInfo> Connection::tableColumns(const QString& table)
{
    auto known = columns_.constFind(table);
    if (known != columns_.constEnd() && isOpen() && !broken_)
        return *known;
    QList<ColumnInfo> out;
    if (target_.dialect == SqlDialect::SQLite) {
        QSqlQuery q = exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdent(target_.dialect, table)));
        while (q.next())
            out.append({q.value(1).toString(), kindFromSqliteType(q.value(2).toString()), q.value(5).toInt() > 0});
        return out;
    }
    // The result's own description gives the names as they are written and
    // is quick; catalog views are slow on some servers (a new session's
    // first look at them takes a quarter of a second on some) and may
    // return names in the server's code page. (TOP rather than a WHERE that
    // is never true: a fresh session on some servers parses each new kind
    // of clause slowly the first time, and the first rows used TOP.)
    return columnsOf(table, exec(QStringLiteral("SELECT TOP 0 * FROM %1").arg(quoteIdent(target_.dialect, table))).record());
}

QList<ColumnInfo> Connection::tableColumns(const QString& table, const QSqlRecord& all)
{
    if (target_.dialect == SqlDialect::SQLite)
        return tableColumns(table);
    auto known = columns_.constFind(table);
    if (known != columns_.constEnd())
        return *known;
    return columnsOf(table, all);
}

QString Connection::knownKeyColumn(const QString& table)
{
    // SQLite answers from the file at once; a server is not asked.
    auto known = columns_.constFind(table);
    if (target_.dialect == SqlDialect::SQLite || known != columns_.constEnd()) {
        for (const ColumnInfo& c : tableColumns(table))
            if (c.key)
                return c.kind == ColumnKind::Integer ? c.name : QString();
        return {};
    }
    return schemaIntegerKeyColumn(target_.dialect, table);
}

QList<ColumnInfo> Connection::columnsOf(const QString& table, const QSqlRecord& record)
{
    // The key of a table our schema makes is known when the table has that
    // column; any other comes from the key constraint.
    QList<ColumnInfo> out;
    QSet<QString> keys;
    const QString schemaKey = schemaKeyColumn(target_.dialect, table);
    if (!schemaKey.isEmpty() && record.contains(schemaKey))
        keys << schemaKey.toLower();
    if (keys.isEmpty()) {
        QSqlQuery k = exec(QStringLiteral(
                               "SELECT ku.COLUMN_NAME FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS tc"
                               " JOIN INFORMATION_SCHEMA.KEY_COLUMN_USAGE ku ON ku.CONSTRAINT_NAME = tc.CONSTRAINT_NAME"
                               " AND ku.TABLE_NAME = tc.TABLE_NAME"
                               " WHERE tc.CONSTRAINT_TYPE = 'PRIMARY KEY' AND tc.TABLE_NAME = ?"),
                           {table});
        while (k.next())
            keys << k.value(0).toString().toLower();
    }
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        ColumnKind kind = kindOfField(field);
        // A rowversion: the driver marks it read-only, or it is our schema's
        // RowVer where the server does not say what it is.
        if (kind == ColumnKind::Blob
            && (field.isReadOnly() || field.name().compare(u"RowVer", Qt::CaseInsensitive) == 0))
            kind = ColumnKind::Version;
        out.append({field.name(), kind, keys.contains(field.name().toLower())});
    }
    columns_.insert(table, out);
    return out;
}

} // namespace tegaro
