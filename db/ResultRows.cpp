#include "db/ResultRows.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace tegaro {

namespace {
// Keys sent in one statement at most.
constexpr size_t kKeysPerStatement = 512;
} // namespace

void ResultRows::clear()
{
    keyed_ = sorted_ = false;
    keyColumn_ = -1;
    columns_ = 0;
    reader_ = nullptr;
    keyReader_ = nullptr;
    counted_ = nullptr;
    std::vector<qint64>().swap(ids_);
    rows_.clear();
    batches_.clear();
    nextHandle_ = 0;
}

void ResultRows::setRows(QList<Row> rows, int keyColumn)
{
    clear();
    keyColumn_ = keyColumn;
    ids_.reserve(size_t(rows.size()));
    rows_.reserve(rows.size());
    for (Row& row : rows) {
        ids_.push_back(nextHandle_);
        rows_.insert(nextHandle_++, std::move(row));
    }
}

void ResultRows::setKeys(std::vector<qint64> keys, int keyColumn, int columns, PageReader reader)
{
    clear();
    keyed_ = true;
    keyColumn_ = keyColumn;
    columns_ = columns;
    reader_ = std::move(reader);
    ids_ = std::move(keys);
    sorted_ = std::is_sorted(ids_.begin(), ids_.end());
}

void ResultRows::setFirstRows(QList<Row> rows, int keyColumn, int columns, PageReader reader, KeyReader keys,
                              std::function<void()> counted)
{
    clear();
    keyed_ = true;
    keyColumn_ = keyColumn;
    columns_ = columns;
    reader_ = std::move(reader);
    keyReader_ = std::move(keys);
    counted_ = keyReader_ ? std::move(counted) : nullptr;
    std::vector<qint64> batch;
    for (Row& row : rows) {
        const qint64 key = row.value(keyColumn).toLongLong();
        ids_.push_back(key);
        batch.push_back(key);
        rows_.insert(key, std::move(row));
    }
    sorted_ = std::is_sorted(ids_.begin(), ids_.end());
    keep(std::move(batch));
}

void ResultRows::readKeys()
{
    if (!keyReader_)
        return;
    std::vector<qint64> all = keyReader_();
    keyReader_ = nullptr;
    // The first rows stay where they were shown, also when someone removed
    // one of them or put a row before them in the meantime; the rest follow
    // in the result's order. (The first rows are a handful.)
    const size_t first = ids_.size();
    std::vector<qint64> keys(ids_.begin(), ids_.end());
    keys.reserve(all.size() + first);
    auto known = [&](qint64 k) { return std::find(ids_.begin(), ids_.end(), k) != ids_.end(); };
    size_t at = 0;
    while (at < all.size() && at < first && all[at] == ids_[at])
        ++at;
    for (; at < all.size(); ++at)
        if (!known(all[at]))
            keys.push_back(all[at]);
    ids_.swap(keys);
    sorted_ = std::is_sorted(ids_.begin(), ids_.end());
    if (auto counted = std::exchange(counted_, nullptr))
        counted();
}

int ResultRows::count()
{
    readKeys();
    return int(ids_.size());
}

bool ResultRows::hasRowAfter(int position)
{
    if (position + 1 < knownCount())
        return true;
    return position + 1 < count();
}

ResultRows::Row ResultRows::goneRow(qint64 key) const
{
    Row row(columns_);
    if (keyColumn_ >= 0 && keyColumn_ < columns_)
        row[keyColumn_] = key;
    return row;
}

bool ResultRows::isLoaded(int position) const
{
    return position >= 0 && position < knownCount() && rows_.contains(ids_[size_t(position)]);
}

ResultRows::Row ResultRows::row(int position)
{
    if (position < 0 || (position >= knownCount() && position >= count()))
        return {};
    const qint64 id = ids_[size_t(position)];
    auto found = rows_.constFind(id);
    if (found != rows_.constEnd())
        return *found;
    if (!keyed_)
        return {};
    const int first = position - position % kPageRows;
    load(first, qMin(count() - 1, first + kPageRows - 1));
    return rows_.value(id, goneRow(id));
}

void ResultRows::load(int first, int last)
{
    if (!keyed_)
        return;
    std::vector<int> positions;
    for (int i = qMax(first, 0); i <= qMin(last, count() - 1); ++i)
        positions.push_back(i);
    load(positions);
}

void ResultRows::load(const std::vector<int>& positions)
{
    if (!keyed_)
        return;
    for (int i : positions)
        if (i >= knownCount()) {
            readKeys();
            break;
        }
    std::vector<qint64> missing;
    QSet<qint64> asked;
    for (int i : positions) {
        if (i < 0 || i >= knownCount())
            continue;
        const qint64 id = ids_[size_t(i)];
        if (id != kNew && !rows_.contains(id) && !asked.contains(id)) {
            asked.insert(id);
            missing.push_back(id);
        }
    }
    for (size_t at = 0; at < missing.size(); at += kKeysPerStatement) {
        std::vector<qint64> batch(missing.begin() + qptrdiff(at),
                                  missing.begin() + qptrdiff(std::min(missing.size(), at + kKeysPerStatement)));
        QHash<qint64, Row> read = reader_(batch);
        for (qint64 key : batch) {
            auto found = read.find(key);
            rows_.insert(key, found != read.end() ? std::move(*found) : goneRow(key));
        }
        keep(std::move(batch));
    }
}

void ResultRows::keep(std::vector<qint64> batch)
{
    batches_.push_back(std::move(batch));
    // The oldest pages go first; the one just read always stays.
    while (rows_.size() > kKeptRows && batches_.size() > 1) {
        for (qint64 key : batches_.front())
            rows_.remove(key);
        batches_.pop_front();
    }
}

void ResultRows::insert(int position, const Row& row)
{
    readKeys();
    position = qBound(0, position, count());
    const qint64 id = keyed_ ? kNew : nextHandle_++;
    ids_.insert(ids_.begin() + position, id);
    rows_.insert(id, row);
    sorted_ = false;
}

void ResultRows::remove(int position)
{
    readKeys();
    if (position < 0 || position >= count())
        return;
    const qint64 id = ids_[size_t(position)];
    ids_.erase(ids_.begin() + position);
    rows_.remove(id);
}

void ResultRows::replace(int position, const Row& row, qint64 key)
{
    readKeys();
    if (position < 0 || position >= count())
        return;
    qint64& id = ids_[size_t(position)];
    if (!keyed_ || id == key) {
        rows_.insert(id, row);
        return;
    }
    rows_.remove(id);
    id = key;
    sorted_ = false;
    rows_.insert(key, row);
    keep({key});
}

int ResultRows::find(const QVariant& key)
{
    readKeys();
    if (key.isNull() || !key.isValid())
        return -1;
    if (keyed_) {
        bool ok = false;
        const qint64 k = key.toLongLong(&ok);
        if (!ok)
            return -1;
        if (sorted_) {
            auto it = std::lower_bound(ids_.begin(), ids_.end(), k);
            return it != ids_.end() && *it == k ? int(it - ids_.begin()) : -1;
        }
        auto it = std::find(ids_.begin(), ids_.end(), k);
        return it != ids_.end() ? int(it - ids_.begin()) : -1;
    }
    if (keyColumn_ < 0)
        return -1;
    for (int i = 0; i < count(); ++i)
        if (rows_.value(ids_[size_t(i)]).value(keyColumn_) == key)
            return i;
    return -1;
}

bool ResultRows::keyAt(int position, qint64& key) const
{
    if (!keyed_ || position < 0 || position >= knownCount() || ids_[size_t(position)] == kNew)
        return false;
    key = ids_[size_t(position)];
    return true;
}

void sortKeys(std::vector<qint64>& keys)
{
    if (std::is_sorted(keys.begin(), keys.end()))
        return;
    if (keys.size() < 4096) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    // Least significant digit first, 16 bits a pass, only as many passes as
    // the span of the keys needs: two for every key below 2^32.
    auto unsignedKey = [](qint64 k) { return quint64(k) ^ (quint64(1) << 63); };
    quint64 low = ~quint64(0), high = 0;
    for (qint64 k : keys) {
        low = std::min(low, unsignedKey(k));
        high = std::max(high, unsignedKey(k));
    }
    const quint64 span = high - low;
    std::vector<qint64> out(keys.size());
    std::vector<size_t> counts(65537);
    for (int shift = 0; shift < 64 && (span >> shift) != 0; shift += 16) {
        std::fill(counts.begin(), counts.end(), 0);
        auto digit = [&](qint64 k) { return size_t(((unsignedKey(k) - low) >> shift) & 0xFFFF); };
        for (qint64 k : keys)
            ++counts[digit(k) + 1];
        for (size_t i = 1; i < counts.size(); ++i)
            counts[i] += counts[i - 1];
        for (qint64 k : keys)
            out[counts[digit(k)]++] = k;
        keys.swap(out);
    }
}

} // namespace tegaro
