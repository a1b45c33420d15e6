// What a record set tells when a post cannot be written as it was meant:
// someone else changed or deleted the record (which fields, to what), or
// the link broke before the answer came (was it saved after all?).
#include "db/RecordSet.h"

#include "core/Errors.h"
#include "db/Connection.h"

#include <cmath>

namespace tegaro {

namespace {
const QString kChanged = QStringLiteral("このレコードは読み込んだ後に他のユーザーが変更しました。データを更新してからやり直してください");
const QString kDeleted = QStringLiteral("このレコードは読み込んだ後に他のユーザーが削除しました。データを更新してください");
const QString kSavedBefore = QStringLiteral("接続が切れる前に保存されていました。");
} // namespace

bool RecordSet::sameStored(int index, const QVariant& a, const QVariant& b) const
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    switch (columns_[index].kind) {
    case ColumnKind::DateTime: return parseDbDateTime(a) == parseDbDateTime(b);
    case ColumnKind::Integer: return a.toLongLong() == b.toLongLong();
    case ColumnKind::Real: {
        // Decimal columns round what they are given to their scale.
        const double x = a.toDouble(), y = b.toDouble();
        return std::abs(x - y) <= 0.005 + 1e-9 * std::abs(x);
    }
    case ColumnKind::Blob: // sizes, as a result reads them
        return lazyBlobs_ ? a.toLongLong() == b.toLongLong() : a.toByteArray() == b.toByteArray();
    case ColumnKind::Version: return a.toByteArray() == b.toByteArray() && a.toString() == b.toString();
    case ColumnKind::Text: break;
    }
    return a.toString() == b.toString();
}

QString RecordSet::changedByOthers(const Row& stored) const
{
    const Row base = storedRow();
    QStringList lines;
    for (int i = 0; i < columns_.size(); ++i) {
        if (i == versionColumn_ || sameStored(i, base.value(i), stored.value(i)))
            continue;
        const QVariant& v = stored[i];
        QString shown;
        if (columns_[i].kind == ColumnKind::Blob)
            shown = v.isNull() || v.toLongLong() == 0 ? QStringLiteral("なし") : QStringLiteral("%1 バイト").arg(v.toLongLong());
        else
            shown = displayText(columns_[i].kind, v);
        lines << QStringLiteral("・%1: %2").arg(columns_[i].name, shown.isEmpty() ? QStringLiteral("（空）") : shown);
    }
    if (lines.isEmpty())
        return {};
    return QStringLiteral("他のユーザーが変更した項目:\n") + lines.join(u'\n');
}

void RecordSet::conflict(const QVariant& key, bool editing)
{
    const Row stored = readRow(key);
    // The record keeps the user's values; 更新 then reads it again.
    if (editing)
        conflict_ = true;
    if (stored.isEmpty())
        throw EDatabaseError(kDeleted);
    const QString fields = changedByOthers(stored);
    throw EDatabaseError(fields.isEmpty() ? kChanged : kChanged + QStringLiteral("\n\n") + fields);
}

void RecordSet::refreshRecord()
{
    checkActive();
    if (current_ < 0)
        return;
    if (state_ == DataSetState::Insert) {
        cancel(); // nothing of it is stored
        return;
    }
    if (baseTable_.isEmpty() || keyColumn_ < 0) {
        cancel();
        refresh();
        return;
    }
    const QVariant key = storedRow().value(keyColumn_);
    const Row fresh = key.isNull() ? Row() : readRow(key);
    blobCache_.clear();
    dropEdit();
    if (fresh.isEmpty()) {
        rows_.remove(current_);
        ++generation_;
        setState(DataSetState::Browse);
        setCurrent(current_);
        return;
    }
    rows_.replace(current_, fresh, key.toLongLong());
    setState(DataSetState::Browse);
    recordChanged(-1);
    afterScroll();
}

QByteArray RecordSet::storedBytes(int index, const QVariant& key)
{
    SqlDialect d = connection_->dialect();
    QSqlQuery q = connection_->exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                        .arg(quoteIdent(d, columns_[index].name), quoteIdent(d, baseTable_),
                                             quoteIdent(d, columns_[keyColumn_].name)),
                                    {key});
    return q.next() ? q.value(0).toByteArray() : QByteArray();
}

// The stored row holds what was sent, and (checkBase) nothing else changed
// since it was read: only our own write moved its version, once.
bool RecordSet::holdsSent(const Row& stored, const SentPost& sent, bool checkBase)
{
    for (int i = 0; i < columns_.size(); ++i) {
        if (i == versionColumn_)
            continue;
        if (!sent.changed.value(i)) {
            if (checkBase && !sameStored(i, sent.base.value(i), stored.value(i)))
                return false;
            continue;
        }
        if (columns_[i].kind != ColumnKind::Blob) {
            if (!sameStored(i, sent.sent.value(i), stored.value(i)))
                return false;
            continue;
        }
        const QByteArray bytes = sent.blobs.value(i);
        const QVariant size = stored.value(i);
        if (bytes.isNull() != size.isNull())
            return false;
        if (!bytes.isNull() && (size.toLongLong() != bytes.size() || storedBytes(i, stored.value(keyColumn_)) != bytes))
            return false;
    }
    if (checkBase && versionColumn_ >= 0) {
        const QVariant before = sent.base.value(versionColumn_), after = stored.value(versionColumn_);
        if (connection_->dialect() == SqlDialect::SQLite)
            return after.toLongLong() == before.toLongLong() + 1;
        return !sameStored(versionColumn_, before, after);
    }
    return true;
}

// A post whose answer was lost: was it written? True when it was and
// nothing more is left to write; false when the post is to be sent (again).
bool RecordSet::settle()
{
    const SentPost sent = *unsettled_;
    Row stored;
    QVariant key;
    if (sent.state == DataSetState::Edit && state_ == DataSetState::Edit) {
        key = sent.base.value(keyColumn_);
        stored = readRow(key); // fails while the server is away: still unsettled
        if (!stored.isEmpty() && !holdsSent(stored, sent, true))
            stored.clear();
    } else if (sent.state == DataSetState::Insert && state_ == DataSetState::Insert) {
        SqlDialect d = connection_->dialect();
        const QString keyName = quoteIdent(d, columns_[keyColumn_].name);
        QString sql = QStringLiteral("SELECT %1 FROM %2").arg(selectList(columns_, lazyBlobs_), quoteIdent(d, baseTable_));
        QVariantList values;
        if (!sent.highKey.isNull()) {
            sql += QStringLiteral(" WHERE %1 > ?").arg(keyName);
            values << sent.highKey;
        }
        QSqlQuery q = connection_->exec(sql + QStringLiteral(" ORDER BY ") + keyName, values);
        QList<Row> candidates;
        while (q.next()) {
            Row row(columns_.size());
            for (int i = 0; i < columns_.size(); ++i)
                row[i] = q.value(i);
            candidates << row;
        }
        for (const Row& row : candidates)
            if (holdsSent(row, sent, false)) {
                stored = row;
                key = row.value(keyColumn_);
                break;
            }
    }
    unsettled_.reset();
    if (stored.isEmpty())
        return false;

    // Saved before the link went: that row is the one read now.
    rows_.replace(current_, stored, key.toLongLong());
    emit notice(kSavedBefore);
    // What the user changed since then is still to be written over it.
    bool more = false;
    for (int i = 0; i < columns_.size(); ++i) {
        if (!changed_[i])
            continue;
        const bool same = columns_[i].kind == ColumnKind::Blob
            ? blobCache_.value(i) == sent.blobs.value(i) && blobCache_.value(i).isNull() == sent.blobs.value(i).isNull()
            : sameStored(i, buffer_[i], sent.sent.value(i));
        if (same && sent.changed.value(i))
            changed_[i] = false;
        else
            more = true;
    }
    if (!more) {
        endEdit();
        return true;
    }
    original_ = stored;
    buffer_[keyColumn_] = key;
    if (versionColumn_ >= 0)
        buffer_[versionColumn_] = stored.value(versionColumn_);
    setState(DataSetState::Edit);
    return false;
}

} // namespace tegaro
