#pragma once
// An updatable record set over one connection: ADOQuery1 (SQL text with
// named parameters) and ADOTable2 (a whole table) are both this class.
//
// For a plain "select * from TABLE ..." over a table with an integer key,
// open reads the keys of the result (and so its count) and the rows come in
// pages as they are shown or asked for (ResultRows): opening, moving to the
// last record and refreshing cost the same at any size. Binary columns come
// as their sizes; the bytes are read by key on first use. Any other result
// is read whole at open. A post is written at once; it never overwrites or
// removes a row that someone else changed or deleted since it was read.
//
// A post refused because someone else changed the record says which
// fields they changed and to what; the record keeps the user's values until
// refreshRecord() reads it again. A post whose answer was lost with the
// link is settled on the next post: when the table holds exactly what was
// sent, it was saved and notice() says so; otherwise it is sent again.
//
// Changes are told to the links (data sources) in the order they happen;
// a link may throw only from updateData.
#include "db/Connection.h"
#include "db/DataLink.h"
#include "db/Field.h"
#include "db/ResultRows.h"
#include "db/SqlText.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

namespace tegaro {

class RecordSet : public QObject {
    Q_OBJECT
public:
    explicit RecordSet(Connection* connection, QObject* parent = nullptr);
    ~RecordSet() override;

    Connection* connection() const { return connection_; }

    // Query text: a list of lines, sent each ended by CR LF.
    QStringList sql() const { return sql_; }
    void setSql(const QStringList& lines) { sql_ = lines; }
    void clearSql() { sql_.clear(); }
    void addSql(const QString& line) { sql_.append(line); }
    QString sqlText() const;
    // Table mode: "select * from TABLE", used when the SQL text is empty.
    void setTableName(const QString& table) { tableName_ = table; }
    QString tableName() const { return tableName_; }
    // Named parameters (":Date_s"); date-times compare as full date-times.
    void setParameter(const QString& name, const QVariant& value) { params_.insert(name, value); }
    void clearParameters() { params_.clear(); }
    QVariant parameter(const QString& name) const { return params_.value(name); }

    void open();  // no effect when open; opens the connection when needed
    void close(); // a pending edit or insert is dropped
    bool isOpen() const { return state_ != DataSetState::Inactive; }
    DataSetState state() const { return state_; }

    // Opening the whole of a table reads its first rows only; the keys (and
    // so the count) follow from the event loop once the first record is
    // shown, or at once when something needs them first.
    int recordCount() const { return rows_.count(); }
    bool recordCountKnown() const { return !rows_.keysPending(); }
    int recNo() const { return current_ + 1; } // 0 when there is no record
    bool isEmpty() const { return rows_.isEmpty(); }
    bool bof() const { return current_ <= 0; }
    bool eof() const { return current_ < 0 || !rows_.hasRowAfter(current_); }

    // Each move posts a changed record and cancels an unchanged one first.
    void first();
    void prior();
    void next();
    void last();
    void moveTo(int index); // 0-based

    void edit();   // on an empty set this starts an insert
    void insert(); // a new record before the current one
    void append(); // a new record at the end
    void post();   // no effect in browse
    void cancel();
    void deleteRecord();
    void refresh(); // reads the result again, keeping the current record
    void checkBrowseMode();
    bool modified() const { return modified_; }

    // The last post of the current record was refused because someone else
    // changed or deleted it since it was read. A post that goes through, a
    // cancel and refreshRecord end it.
    bool hasConflict() const { return conflict_; }
    // Reads the current record again from the table, and only it, dropping
    // a pending edit: it shows what others made of it, in browse. A record
    // that is gone leaves the result.
    void refreshRecord();
    // A post failed with the link and is not settled yet.
    bool hasUnsettledPost() const { return unsettled_.has_value(); }

    int fieldCount() const { return int(columns_.size()); }
    QStringList fieldNames() const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    int fieldIndex(const QString& name) const; // -1 when missing
    Field fieldByName(const QString& name);    // throws EDatabaseError when missing
    Field field(int index);
    const ColumnInfo& column(int index) const { return columns_[index]; }

    // A stored value of any row (the edit buffer for the current one),
    // read with its page when the page is not at hand; throws EDatabaseError
    // when the page cannot be read. Rows a view is about to show are best
    // asked for at once with fetchRows (0-based, both included).
    QVariant valueAt(int row, int index) const;
    void fetchRows(int first, int last) const { rows_.load(first, last); }
    // The same for rows anywhere in the result (a sorted view's screen).
    void fetchRows(const std::vector<int>& rows) const { rows_.load(rows); }
    bool isRowFetched(int row) const { return rows_.isLoaded(row); }
    // Rows come in pages by key, not all at open.
    bool isPaged() const { return rows_.keyed(); }
    int keptRows() const { return rows_.keptRows(); }
    // Grows whenever rows come, go or are read again; a view starts over then.
    int generation() const { return generation_; }

    // Some columns of every row at once, for a pass over the whole result
    // (sorting, totals, a list written out): one statement over the query's
    // own text and parameters, binary columns as their sizes, never through
    // the pages. `visit` gets each row's position (in no particular order)
    // and its values in the order of `fields`; the current record comes as
    // it is being edited. Throws EDatabaseError.
    using RowVisitor = std::function<void(int row, const QVariantList& values)>;
    void readColumns(const QList<int>& fields, const RowVisitor& visit) const;

    // For Field and DataSource.
    QVariant currentValue(int index) const;
    void setCurrentValue(int index, const QVariant& stored);
    qint64 blobSize(int index) const;
    QByteArray blobBytes(int index);
    void setBlobBytes(int index, const QByteArray& bytes);

    // Who is told of changes: the data sources over this set.
    void addLink(DataLink* link);
    void removeLink(DataLink* link);

signals:
    // Something to tell the user that is no error: a post found saved.
    void notice(const QString& text);

protected:
    void customEvent(QEvent* event) override;

private:
    using Row = ResultRows::Row;
    // A post sent when the link broke: what was sent, and from what.
    struct SentPost {
        DataSetState state;
        Row base; // the row as read (edit)
        Row sent;
        QList<bool> changed;
        QHash<int, QByteArray> blobs;
        QVariant highKey; // the highest key before it (insert)
    };

    void checkActive() const;
    void checkEditing() const;
    void checkUpdatable() const;
    void setCurrent(int index);
    void setState(DataSetState state);
    void recordChanged(int fieldIndex);
    void afterScroll();
    void updateRecord();
    void beginInsert(int position);
    void fetch(const QString& text, bool firstRowsFirst);
    bool fetchFirstRows(const QString& table);
    bool fetchSmallTable(const QString& table);
    static QList<Row> sizedRows(QSqlQuery& query, const QList<ColumnInfo>& columns);
    void takeColumns(const QList<ColumnInfo>& columns, const QString& table, bool lazy);
    QString selectList(const QList<ColumnInfo>& columns, bool lazy) const;
    QHash<qint64, Row> readPage(const std::vector<qint64>& keys) const;
    Row storedRow() const; // the current row as read, without the edits
    QVariant keyValue() const;
    QVariant bindValue(int index) const;
    Row readRow(const QVariant& key);
    bool writesReturnRow() const;
    QString writtenRow() const;
    Row rowOf(QSqlQuery& query) const;
    Row writeUpdate(); // empty when nothing changed
    Row writeInsert();
    void writeDelete();
    void writePost();
    void finishPost(const QVariant& key, Row written);
    void dropEdit(); // the edit buffer and what it knew, gone
    void endEdit();
    [[noreturn]] void conflict(const QVariant& key, bool editing);
    QString changedByOthers(const Row& stored) const;
    bool sameStored(int index, const QVariant& a, const QVariant& b) const;
    bool holdsSent(const Row& stored, const SentPost& sent, bool checkBase);
    QByteArray storedBytes(int index, const QVariant& key);
    bool settle();

    QPointer<Connection> connection_;
    QStringList sql_;
    QString tableName_;
    QHash<QString, QVariant> params_;

    DataSetState state_ = DataSetState::Inactive;
    QList<ColumnInfo> columns_;
    QHash<QString, int> byName_;
    QString baseTable_; // empty: read-only result
    bool lazyBlobs_ = false;
    int keyColumn_ = -1;
    int versionColumn_ = -1;

    mutable ResultRows rows_;
    int current_ = -1;
    int generation_ = 0;
    Row buffer_;
    Row original_; // the row being edited as it was read
    QList<bool> changed_;
    bool modified_ = false;
    QHash<int, QByteArray> blobCache_; // bytes of the current record only
    bool conflict_ = false;
    std::optional<SentPost> unsettled_;
    DataLinks links_;
};

} // namespace tegaro
