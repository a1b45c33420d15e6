#pragma once
// An updatable record set over one connection: ADOQuery1 (SQL text with
// named parameters) and ADOTable2 (a whole table) are both this class.
//
// The whole result is read at open, except binary columns: for a plain
// "select * from TABLE ..." only their sizes are read, the bytes come by key
// on first use. A post is written at once; it never overwrites or removes a
// row that someone else changed or deleted since it was read.
//
// Changes are told to the links (data sources) in the order they happen;
// a link may throw only from updateData.
#include "db/Connection.h"
#include "db/DataLink.h"
#include "db/Field.h"
#include "db/SqlText.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

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

    int recordCount() const { return int(rows_.size()); }
    int recNo() const { return current_ + 1; } // 0 when there is no record
    bool isEmpty() const { return rows_.isEmpty(); }
    bool bof() const { return current_ <= 0; }
    bool eof() const { return current_ < 0 || current_ >= rows_.size() - 1; }

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

    int fieldCount() const { return int(columns_.size()); }
    QStringList fieldNames() const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    int fieldIndex(const QString& name) const; // -1 when missing
    Field fieldByName(const QString& name);    // throws EDatabaseError when missing
    Field field(int index);
    const ColumnInfo& column(int index) const { return columns_[index]; }

    // A stored value of any row (the edit buffer for the current one).
    QVariant valueAt(int row, int index) const;
    // Grows whenever rows come, go or are read again; a view starts over then.
    int generation() const { return generation_; }

    // For Field and DataSource.
    QVariant currentValue(int index) const;
    void setCurrentValue(int index, const QVariant& stored);
    qint64 blobSize(int index) const;
    QByteArray blobBytes(int index);
    void setBlobBytes(int index, const QByteArray& bytes);

    // Who is told of changes: the data sources over this set.
    void addLink(DataLink* link);
    void removeLink(DataLink* link);

private:
    using Row = QList<QVariant>;

    void checkActive() const;
    void checkEditing() const;
    void checkUpdatable() const;
    void setCurrent(int index);
    void setState(DataSetState state);
    void recordChanged(int fieldIndex);
    void afterScroll();
    void updateRecord();
    void beginInsert(int position);
    void fetch(const QString& text);
    QString selectList(const QList<ColumnInfo>& columns, bool lazy) const;
    QVariant keyValue() const;
    QVariant bindValue(int index) const;
    Row readRow(const QVariant& key);
    void writeUpdate();
    QVariant writeInsert();
    void writeDelete();
    [[noreturn]] void conflict(const QVariant& key);

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

    QList<Row> rows_;
    int current_ = -1;
    int generation_ = 0;
    Row buffer_;
    QList<bool> changed_;
    bool modified_ = false;
    QHash<int, QByteArray> blobCache_; // bytes of the current record only
    DataLinks links_;
};

} // namespace tegaro
