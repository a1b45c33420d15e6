// Writing a record set's changes to its table: post, delete, and the
// optimistic check that keeps other users' changes.
#include "db/RecordSet.h"

#include "core/Errors.h"
#include "db/Connection.h"

namespace tegaro {

QVariant RecordSet::keyValue() const { return currentValue(keyColumn_); }

QVariant RecordSet::bindValue(int index) const
{
    SqlDialect d = connection_->dialect();
    if (columns_[index].kind == ColumnKind::Blob) {
        QByteArray bytes = blobCache_.value(index);
        return bytes.isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(bytes);
    }
    QVariant v = buffer_[index];
    if (v.isNull()) {
        // A typed NULL, so the ODBC driver knows what it binds.
        switch (columns_[index].kind) {
        case ColumnKind::Integer: return QVariant(QMetaType::fromType<qlonglong>());
        case ColumnKind::Real: return QVariant(QMetaType::fromType<double>());
        case ColumnKind::DateTime:
            return d == SqlDialect::SQLite ? QVariant(QMetaType::fromType<QString>())
                                           : QVariant(QMetaType::fromType<QDateTime>());
        default: return QVariant(QMetaType::fromType<QString>());
        }
    }
    return toDbValue(d, v);
}

RecordSet::Row RecordSet::readRow(const QVariant& key)
{
    SqlDialect d = connection_->dialect();
    QSqlQuery q = connection_->exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                        .arg(selectList(columns_, lazyBlobs_), quoteIdent(d, baseTable_),
                                             quoteIdent(d, columns_[keyColumn_].name)),
                                    {key});
    return rowOf(q);
}

// "WHERE key = ? AND version = ?": the row as we read it, or nothing.
static QString rowCondition(SqlDialect d, const ColumnInfo& key, const ColumnInfo* version, const QVariant& oldVersion,
                            QVariantList& values, const QVariant& keyValue)
{
    QString where = QStringLiteral(" WHERE ") + quoteIdent(d, key.name) + QStringLiteral(" = ?");
    values << keyValue;
    if (version) {
        if (oldVersion.isNull()) {
            where += QStringLiteral(" AND ") + quoteIdent(d, version->name) + QStringLiteral(" IS NULL");
        } else {
            where += QStringLiteral(" AND ") + quoteIdent(d, version->name) + QStringLiteral(" = ?");
            values << oldVersion;
        }
    }
    return where;
}

// The row as the statement wrote it, returned by the statement itself: what
// a read afterwards gives may already be someone else's. The SQLite ODBC
// driver runs RETURNING but hands back no rows: there the row is read
// after the write (a file has one writer at a time).
bool RecordSet::writesReturnRow() const
{
    return connection_->dialect() == SqlDialect::SqlServer || connection_->target().driver == u"QSQLITE";
}

QString RecordSet::writtenRow() const
{
    SqlDialect d = connection_->dialect();
    if (!writesReturnRow())
        return {};
    if (d == SqlDialect::SQLite)
        return QStringLiteral(" RETURNING ") + selectList(columns_, lazyBlobs_);
    QStringList list;
    for (const ColumnInfo& c : columns_)
        list << (c.kind == ColumnKind::Blob && lazyBlobs_
                     ? QStringLiteral("DATALENGTH(INSERTED.%1) AS %1").arg(quoteIdent(d, c.name))
                     : QStringLiteral("INSERTED.") + quoteIdent(d, c.name));
    return QStringLiteral(" OUTPUT ") + list.join(QStringLiteral(", "));
}

RecordSet::Row RecordSet::rowOf(QSqlQuery& q) const
{
    if (!q.next())
        return {};
    Row row(columns_.size());
    for (int i = 0; i < columns_.size(); ++i)
        row[i] = q.value(i);
    return row;
}

RecordSet::Row RecordSet::writeUpdate()
{
    SqlDialect d = connection_->dialect();
    QStringList sets;
    QVariantList values;
    for (int i = 0; i < columns_.size(); ++i)
        if (changed_[i]) {
            sets << quoteIdent(d, columns_[i].name) + QStringLiteral(" = ?");
            values << bindValue(i);
        }
    if (sets.isEmpty())
        return {};
    const ColumnInfo* version = versionColumn_ >= 0 ? &columns_[versionColumn_] : nullptr;
    // SQL Server bumps a rowversion itself; our integer one is bumped here.
    if (version && d == SqlDialect::SQLite)
        sets << QStringLiteral("%1 = COALESCE(%1, 0) + 1").arg(quoteIdent(d, version->name));
    const Row stored = storedRow();
    QVariant oldKey = stored.value(keyColumn_);
    QString where = rowCondition(d, columns_[keyColumn_], version,
                                 version ? stored.value(versionColumn_) : QVariant(), values, oldKey);
    QString sql = QStringLiteral("UPDATE %1 SET %2").arg(quoteIdent(d, baseTable_), sets.join(QStringLiteral(", ")));
    sql += d == SqlDialect::SqlServer ? writtenRow() + where : where + writtenRow();
    QSqlQuery q = connection_->exec(sql, values);
    if (!writesReturnRow()) {
        if (q.numRowsAffected() == 0)
            conflict(oldKey, true);
        return readRow(oldKey);
    }
    Row written = rowOf(q);
    if (written.isEmpty())
        conflict(oldKey, true);
    return written;
}

RecordSet::Row RecordSet::writeInsert()
{
    SqlDialect d = connection_->dialect();
    QStringList names, marks;
    QVariantList values;
    for (int i = 0; i < columns_.size(); ++i)
        if (changed_[i]) {
            names << quoteIdent(d, columns_[i].name);
            marks << QStringLiteral("?");
            values << bindValue(i);
        }
    const QString output = d == SqlDialect::SqlServer ? writtenRow() : QString();
    const QString returning = d == SqlDialect::SQLite ? writtenRow() : QString();
    QString sql = QStringLiteral("INSERT INTO ") + quoteIdent(d, baseTable_);
    if (names.isEmpty())
        sql += output + QStringLiteral(" DEFAULT VALUES") + returning;
    else
        sql += QStringLiteral(" (%1)").arg(names.join(QStringLiteral(", "))) + output
            + QStringLiteral(" VALUES (%1)").arg(marks.join(QStringLiteral(", "))) + returning;
    QSqlQuery q = connection_->exec(sql, values);
    Row written;
    if (writesReturnRow()) {
        written = rowOf(q);
    } else {
        QVariant key = buffer_[keyColumn_];
        if (!changed_[keyColumn_]) {
            QSqlQuery id = connection_->exec(QStringLiteral("SELECT last_insert_rowid()"));
            key = id.next() ? id.value(0) : QVariant();
        }
        if (!key.isNull())
            written = readRow(key);
    }
    if (written.isEmpty())
        throw EDatabaseError(QStringLiteral("追加したレコードのキーを取得できません"));
    return written;
}

void RecordSet::post()
{
    checkActive();
    updateRecord();
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert)
        return;
    checkUpdatable();
    if (unsettled_ && settle())
        return;
    writePost();
}

void RecordSet::writePost()
{
    SentPost sent{state_, storedRow(), buffer_, changed_, blobCache_, {}};
    if (state_ == DataSetState::Insert && !changed_[keyColumn_]) {
        // A new row is found again after a lost answer by its values, past
        // the highest key there was before it.
        SqlDialect d = connection_->dialect();
        QSqlQuery q = connection_->exec(QStringLiteral("SELECT MAX(%1) FROM %2").arg(quoteIdent(d, columns_[keyColumn_].name), quoteIdent(d, baseTable_)));
        if (q.next())
            sent.highKey = q.value(0);
    }
    try {
        if (state_ == DataSetState::Edit) {
            Row written = writeUpdate();
            finishPost(buffer_[keyColumn_], written);
        } else {
            Row written = writeInsert();
            finishPost(written.value(keyColumn_), written);
        }
    } catch (const EDatabaseLinkLost&) {
        unsettled_ = std::move(sent);
        throw;
    }
}

void RecordSet::finishPost(const QVariant& key, Row written)
{
    // With what the database filled in (key, version, defaults); a post
    // that changed nothing wrote nothing, and the row is read again.
    if (written.isEmpty())
        written = readRow(key);
    rows_.replace(current_, written.isEmpty() ? buffer_ : written, key.toLongLong());
    endEdit();
}

void RecordSet::dropEdit()
{
    buffer_.clear();
    original_.clear();
    changed_.fill(false, columns_.size());
    modified_ = false;
    conflict_ = false;
    unsettled_.reset();
}

void RecordSet::endEdit()
{
    dropEdit();
    setState(DataSetState::Browse);
    recordChanged(-1);
}

void RecordSet::writeDelete()
{
    SqlDialect d = connection_->dialect();
    QVariantList values;
    const Row stored = storedRow();
    QVariant key = stored.value(keyColumn_);
    const ColumnInfo* version = versionColumn_ >= 0 ? &columns_[versionColumn_] : nullptr;
    QString where = rowCondition(d, columns_[keyColumn_], version,
                                 version ? stored.value(versionColumn_) : QVariant(), values, key);
    QSqlQuery q = connection_->exec(QStringLiteral("DELETE FROM ") + quoteIdent(d, baseTable_) + where, values);
    if (q.numRowsAffected() == 0)
        conflict(key, false);
}

void RecordSet::deleteRecord()
{
    checkActive();
    if (state_ == DataSetState::Insert) {
        cancel();
        return;
    }
    if (isEmpty())
        throw EDatabaseError(QStringLiteral("空のデータセットでは操作を実行できません"));
    checkUpdatable();
    if (state_ == DataSetState::Edit)
        cancel();
    writeDelete();
    rows_.remove(current_);
    ++generation_;
    setCurrent(current_);
}

} // namespace tegaro
