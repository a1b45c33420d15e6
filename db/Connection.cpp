#include "db/Connection.h"

#include "core/Errors.h"
#include "db/ConnectionText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <atomic>

namespace tegaro {

namespace {
std::atomic<int> connectionCounter{0};

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

ColumnKind kindFromSqlServerType(const QString& type)
{
    QString t = type.toLower();
    if (t == u"timestamp" || t == u"rowversion")
        return ColumnKind::Version;
    if (t.contains(u"binary") || t == u"image")
        return ColumnKind::Blob;
    if (t.contains(u"date") || t.contains(u"time"))
        return ColumnKind::DateTime;
    if (t.endsWith(u"int") || t == u"bit")
        return ColumnKind::Integer;
    if (t == u"float" || t == u"real" || t == u"decimal" || t == u"numeric" || t.contains(u"money"))
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
    if (isOpen())
        return;
    if (!haveTarget_)
        throw EDatabaseError(QStringLiteral("接続文字列が設定されていません"));
    if (!target_.sqliteFile.isEmpty() && !QFileInfo(target_.sqliteFile).isFile())
        throw EDatabaseError(QStringLiteral("データベースファイルが見つかりません: %1").arg(target_.sqliteFile));
    if (!QSqlDatabase::isDriverAvailable(target_.driver))
        throw EDatabaseError(QStringLiteral("データベースドライバ %1 がありません").arg(target_.driver));
    QSqlDatabase::removeDatabase(name_);
    QSqlDatabase db = QSqlDatabase::addDatabase(target_.driver, name_);
    db.setDatabaseName(target_.databaseName);
    db.setConnectOptions(target_.options);
    if (!db.open()) {
        QString why = scrub(db.lastError().text());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw EDatabaseError(QStringLiteral("データベースに接続できません: %1").arg(why));
    }
    if (target_.dialect == SqlDialect::SQLite) {
        // SQLite reads a file only when asked; a file that is no database
        // must fail here, as a refused connection does.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            QString why = scrub(probe.lastError().text());
            probe = QSqlQuery();
            db.close();
            throw EDatabaseError(QStringLiteral("データベースに接続できません: %1").arg(why));
        }
    }
}

void Connection::close()
{
    emit aboutToClose();
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
}

QSqlQuery Connection::exec(const QString& sql, const QVariantList& values, bool forwardOnly)
{
    open();
    QSqlQuery q(database());
    q.setForwardOnly(forwardOnly);
    if (!q.prepare(sql))
        throw EDatabaseError(scrub(q.lastError().text()));
    for (qsizetype i = 0; i < values.size(); ++i)
        q.bindValue(int(i), values[i]);
    if (!q.exec())
        throw EDatabaseError(scrub(q.lastError().text()));
    return q;
}

QList<ColumnInfo> Connection::tableColumns(const QString& table)
{
    QList<ColumnInfo> out;
    if (target_.dialect == SqlDialect::SQLite) {
        QSqlQuery q = exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdent(target_.dialect, table)));
        while (q.next())
            out.append({q.value(1).toString(), kindFromSqliteType(q.value(2).toString()), q.value(5).toInt() > 0});
        return out;
    }
    QSqlQuery q = exec(QStringLiteral(
        "SELECT c.COLUMN_NAME, c.DATA_TYPE, "
        "CASE WHEN k.COLUMN_NAME IS NULL THEN 0 ELSE 1 END "
        "FROM INFORMATION_SCHEMA.COLUMNS c LEFT JOIN ("
        " SELECT ku.COLUMN_NAME FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS tc"
        " JOIN INFORMATION_SCHEMA.KEY_COLUMN_USAGE ku ON tc.CONSTRAINT_NAME = ku.CONSTRAINT_NAME"
        " AND tc.TABLE_NAME = ku.TABLE_NAME"
        " WHERE tc.CONSTRAINT_TYPE = 'PRIMARY KEY' AND tc.TABLE_NAME = ?) k"
        " ON k.COLUMN_NAME = c.COLUMN_NAME "
        "WHERE c.TABLE_NAME = ? ORDER BY c.ORDINAL_POSITION"),
        {table, table});
    while (q.next())
        out.append({q.value(0).toString(), kindFromSqlServerType(q.value(1).toString()), q.value(2).toInt() > 0});
    return out;
}

} // namespace tegaro
