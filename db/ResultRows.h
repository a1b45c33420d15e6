#pragma once
// The rows of an open result, by position.
//
// A result whose rows have an integer key holds the keys of all its rows in
// order and reads the rows themselves in pages as they are asked for: the
// page around a position in one statement, converted when read. Only the
// pages read last are kept, so memory stays the same however long the
// result is. Any other result holds all its rows, read at open.
//
// A row whose key is no longer in the table (someone deleted it) reads as a
// row of NULLs with its key.
//
// A keyed result may also start from its first rows alone, read before the
// keys: what is shown first costs one short statement, and the keys come
// when something needs them (the count, a row further on, a change of the
// rows) or when readKeys() is called. The first rows keep their places.
#include <QHash>
#include <QList>
#include <QVariant>

#include <deque>
#include <functional>
#include <limits>
#include <vector>

namespace tegaro {

class ResultRows {
public:
    using Row = QList<QVariant>;
    // Reads the rows of these keys: each row under its key, a key left out
    // is a row that is gone. Throws when it cannot.
    using PageReader = std::function<QHash<qint64, Row>(const std::vector<qint64>& keys)>;
    // Reads the keys of the whole result in order. Throws when it cannot.
    using KeyReader = std::function<std::vector<qint64>()>;

    static constexpr int kPageRows = 64;
    static constexpr int kKeptRows = 32 * kPageRows;

    // All rows, read at open; keyColumn (or -1) finds them again.
    void setRows(QList<Row> rows, int keyColumn);
    // The keys in order; rows come through reader. keyColumn and columns
    // make the row of a key that is gone.
    void setKeys(std::vector<qint64> keys, int keyColumn, int columns, PageReader reader);
    // The first rows of the result, in order, each with its key in
    // keyColumn; when more may follow, keys reads all of them later.
    // counted is called once they are read, wherever that happens.
    void setFirstRows(QList<Row> rows, int keyColumn, int columns, PageReader reader, KeyReader keys,
                      std::function<void()> counted);
    void clear();

    bool keyed() const { return keyed_; }
    // The keys are still to be read: only the first rows are known.
    bool keysPending() const { return bool(keyReader_); }
    // Reads them now; no effect when they are at hand.
    void readKeys();
    // Reads the keys when they are pending.
    int count();
    // Rows known without reading anything: the count, or the first rows.
    int knownCount() const { return int(ids_.size()); }
    bool isEmpty() const { return ids_.empty(); }
    // Whether a row follows position; reads the keys only when the rows
    // known so far cannot tell.
    bool hasRowAfter(int position);
    // The row at a position, read with its page when it is not at hand.
    Row row(int position);
    // Reads what is missing of positions first..last in as few statements
    // as it takes; a view asks for the rows it is about to show.
    void load(int first, int last);
    void load(const std::vector<int>& positions);
    bool isLoaded(int position) const;
    // Rows at hand now; with keys, never much more than kKeptRows.
    int keptRows() const { return int(rows_.size()); }

    // A new row at position, not in the table yet.
    void insert(int position, const Row& row);
    void remove(int position);
    // The row at position as the table now holds it (after a post): with
    // its key when the rows are keyed.
    void replace(int position, const Row& row, qint64 key);
    // The position of the row with this key value, or -1.
    int find(const QVariant& key);
    // The key of the row at a position; false for a row read at open or
    // one not in the table yet.
    bool keyAt(int position, qint64& key) const;

private:
    static constexpr qint64 kNew = std::numeric_limits<qint64>::min();
    Row goneRow(qint64 key) const;
    void keep(std::vector<qint64> batch);

    bool keyed_ = false;
    bool sorted_ = false; // keys ascending: found by halving
    int keyColumn_ = -1;
    int columns_ = 0;
    PageReader reader_;
    KeyReader keyReader_;
    std::function<void()> counted_;
    std::vector<qint64> ids_;                 // keys, or handles of the rows read at open
    QHash<qint64, Row> rows_;                 // by key or handle
    std::deque<std::vector<qint64>> batches_; // keys read together, oldest first
    qint64 nextHandle_ = 0;
};

// Ascending, in place; integer keys of any size and sign.
void sortKeys(std::vector<qint64>& keys);

} // namespace tegaro
