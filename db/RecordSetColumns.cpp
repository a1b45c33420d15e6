// Whole columns of a record set's result in one statement.
#include "core/Errors.h"
#include "db/RecordSet.h"

#include <QSqlQuery>

#include <algorithm>
#include <vector>

namespace tegaro {

void RecordSet::readColumns(const QList<int>& fields, const RowVisitor& visit) const
{
    checkActive();
    for (int f : fields)
        if (f < 0 || f >= fieldCount())
            throw EDatabaseError(QStringLiteral("フィールド番号 %1 は範囲外です").arg(f));
    const int n = recordCount();
    std::vector<bool> seen(size_t(n), false);
    QVariantList values(fields.size());

    QString table, rest;
    const QString text = sql_.isEmpty() && !tableName_.isEmpty() ? QStringLiteral("select * from ") + tableName_ : sqlText();
    if (rows_.keyed() && splitSelectAll(text, table, rest)) {
        // Positions by key: halving when the keys are in order, else a table.
        std::vector<qint64> keys(size_t(n), 0);
        std::vector<bool> stored(size_t(n), false);
        for (int i = 0; i < n; ++i)
            stored[size_t(i)] = rows_.keyAt(i, keys[size_t(i)]);
        const bool ascending = std::is_sorted(keys.begin(), keys.end());
        QHash<qint64, int> byKey;
        if (!ascending) {
            byKey.reserve(n);
            for (int i = 0; i < n; ++i)
                if (stored[size_t(i)])
                    byKey.insert(keys[size_t(i)], i);
        }
        const auto positionOf = [&](qint64 key) {
            if (!ascending)
                return byKey.value(key, -1);
            auto it = std::lower_bound(keys.begin(), keys.end(), key);
            const int at = int(it - keys.begin());
            return it != keys.end() && *it == key && stored[size_t(at)] ? at : -1;
        };

        QList<ColumnInfo> wanted{columns_[keyColumn_]};
        for (int f : fields)
            wanted << columns_[f];
        const SqlDialect d = connection_->dialect();
        const BoundSql bound = bindNamed(d, QStringLiteral("SELECT ") + selectList(wanted, lazyBlobs_) + QStringLiteral(" FROM ") + quoteIdent(d, table) + rest, params_);
        QSqlQuery q = connection_->exec(bound.text, bound.values);
        // Rows added since the keys were read are not in this result.
        while (q.next()) {
            const int at = positionOf(q.value(0).toLongLong());
            if (at < 0 || at == current_ || seen[size_t(at)])
                continue;
            seen[size_t(at)] = true;
            for (int i = 0; i < fields.size(); ++i)
                values[i] = q.value(i + 1);
            visit(at, values);
        }
    }
    // What the statement did not give: the current record, a new row, a
    // row gone since, or a result read whole at open.
    for (int at = 0; at < n; ++at) {
        if (seen[size_t(at)])
            continue;
        for (int i = 0; i < fields.size(); ++i)
            values[i] = valueAt(at, fields[i]);
        visit(at, values);
    }
}

} // namespace tegaro
