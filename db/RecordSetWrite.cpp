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
    if (!q.next())
        return {};
    Row row(columns_.size());
    for (int i = 0; i < columns_.size(); ++i)
        row[i] = q.value(i);
    return row;
}

void RecordSet::conflict(const QVariant& key)
{
    SqlDialect d = connection_->dialect();
    QSqlQuery q = connection_->exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                                        .arg(quoteIdent(d, baseTable_), quoteIdent(d, columns_[keyColumn_].name)),
                                    {key});
    bool gone = q.next() && q.value(0).toLongLong() == 0;
    if (gone)
        throw EDatabaseError(QStringLiteral(
            "このレコードは読み込んだ後に他のユーザーが削除しました。データを更新してください"));
    throw EDatabaseError(QStringLiteral(
        "このレコードは読み込んだ後に他のユーザーが変更しました。データを更新してからやり直してください"));
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

void RecordSet::writeUpdate()
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
        return;
    const ColumnInfo* version = versionColumn_ >= 0 ? &columns_[versionColumn_] : nullptr;
    // SQL Server bumps a rowversion itself; our integer one is bumped here.
    if (version && d == SqlDialect::SQLite)
        sets << QStringLiteral("%1 = COALESCE(%1, 0) + 1").arg(quoteIdent(d, version->name));
    const Row stored = storedRow();
    QVariant oldKey = stored.value(keyColumn_);
    QString where = rowCondition(d, columns_[keyColumn_], version,
                                 version ? stored.value(versionColumn_) : QVariant(), values, oldKey);
    QSqlQuery q = connection_->exec(
        QStringLiteral("UPDATE %1 SET %2").arg(quoteIdent(d, baseTable_), sets.join(QStringLiteral(", "))) + where,
        values);
    if (q.numRowsAffected() == 0)
        conflict(oldKey);
}

QVariant RecordSet::writeInsert()
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
    const QString& keyName = columns_[keyColumn_].name;
    QString output = d == SqlDialect::SqlServer ? QStringLiteral(" OUTPUT INSERTED.") + quoteIdent(d, keyName) : QString();
    QString sql = QStringLiteral("INSERT INTO ") + quoteIdent(d, baseTable_);
    if (names.isEmpty())
        sql += output + QStringLiteral(" DEFAULT VALUES");
    else
        sql += QStringLiteral(" (%1)").arg(names.join(QStringLiteral(", "))) + output
            + QStringLiteral(" VALUES (%1)").arg(marks.join(QStringLiteral(", ")));
    QSqlQuery q = connection_->exec(sql, values);
    if (changed_[keyColumn_])
        return buffer_[keyColumn_];
    if (d == SqlDialect::SqlServer) {
        if (!q.next())
            throw EDatabaseError(QStringLiteral("追加したレコードのキーを取得できません"));
        return q.value(0);
    }
    QSqlQuery id = connection_->exec(QStringLiteral("SELECT last_insert_rowid()"));
    if (!id.next())
        throw EDatabaseError(QStringLiteral("追加したレコードのキーを取得できません"));
    return id.value(0);
}

void RecordSet::post()
{
    checkActive();
    updateRecord();
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert)
        return;
    checkUpdatable();
    QVariant key;
    if (state_ == DataSetState::Edit) {
        writeUpdate();
        key = buffer_[keyColumn_];
    } else {
        key = writeInsert();
    }
    // Read the row back for what the database filled in (key, version, defaults).
    Row fresh = readRow(key);
    rows_.replace(current_, fresh.isEmpty() ? buffer_ : fresh, key.toLongLong());
    buffer_.clear();
    original_.clear();
    changed_.fill(false, columns_.size());
    modified_ = false;
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
        conflict(key);
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
