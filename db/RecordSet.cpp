#include "db/RecordSet.h"

#include "core/Errors.h"
#include "db/Connection.h"
#include "db/Schema.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <QCoreApplication>
#include <QEvent>
#include <QSqlField>
#include <QSqlRecord>

namespace tegaro {

namespace {
// Read before the keys: the record shown first, and whether one follows
// it (the navigator's next button).
constexpr int kFirstRows = 2;

// After the first paint: the keys, then the rest of the first page, each
// on its own, so what the user does in between comes first.
const QEvent::Type kReadKeys = QEvent::Type(QEvent::registerEventType());
const QEvent::Type kReadFirstPage = QEvent::Type(QEvent::registerEventType());
constexpr int kAfterPaint = Qt::LowEventPriority - 1;

// What follows the table in "select * from TABLE": nothing but an end.
bool wholeTable(QString rest)
{
    rest = rest.trimmed();
    while (rest.endsWith(u';'))
        rest = rest.chopped(1).trimmed();
    return rest.isEmpty();
}
} // namespace

RecordSet::RecordSet(Connection* connection, QObject* parent) : QObject(parent), connection_(connection)
{
    if (connection)
        connect(connection, &Connection::aboutToClose, this, &RecordSet::close);
}

RecordSet::~RecordSet()
{
    // The links see the set close before it goes.
    close();
    links_.clear();
}

QString RecordSet::sqlText() const
{
    QString text;
    for (const QString& line : sql_)
        text += line + QStringLiteral("\r\n");
    return text;
}

void RecordSet::checkActive() const
{
    if (state_ == DataSetState::Inactive)
        throw EDatabaseError(QStringLiteral("閉じているデータセットでは操作を実行できません"));
}

void RecordSet::checkEditing() const
{
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert)
        throw EDatabaseError(QStringLiteral("データセットが編集または挿入モードではありません"));
}

void RecordSet::checkUpdatable() const
{
    if (baseTable_.isEmpty() || keyColumn_ < 0)
        throw EDatabaseError(QStringLiteral("このデータセットは更新できません"));
}

void RecordSet::open()
{
    if (state_ != DataSetState::Inactive)
        return;
    if (!connection_)
        throw EDatabaseError(QStringLiteral("データセットに接続がありません"));
    fetch(sql_.isEmpty() && !tableName_.isEmpty() ? QStringLiteral("select * from ") + tableName_ : sqlText(), true);
    current_ = isEmpty() ? -1 : 0;
    // The first record's row is at hand: what is shown is what is edited.
    if (current_ >= 0)
        rows_.row(current_);
    setState(DataSetState::Browse);
    recordChanged(-1);
    if (!isEmpty())
        afterScroll();
    // The rest after the first record is painted: a widget's paint request
    // waits in the queue at low priority, this one below it.
    if (rows_.keysPending())
        QCoreApplication::postEvent(this, new QEvent(kReadKeys), kAfterPaint);
}

void RecordSet::customEvent(QEvent* event)
{
    if (event->type() != kReadKeys && event->type() != kReadFirstPage) {
        QObject::customEvent(event);
        return;
    }
    // Nobody waits for these: a failure is left for the first need, which
    // reads again and reports what goes wrong.
    try {
        if (event->type() == kReadKeys && rows_.keysPending()) {
            rows_.readKeys();
            QCoreApplication::postEvent(this, new QEvent(kReadFirstPage), kAfterPaint);
        } else if (event->type() == kReadFirstPage && rows_.keyed() && !rows_.keysPending()) {
            // So the next records come at once.
            rows_.load(0, ResultRows::kPageRows - 1);
        }
    } catch (...) {
    }
}

QString RecordSet::selectList(const QList<ColumnInfo>& columns, bool lazy) const
{
    SqlDialect d = connection_->dialect();
    QStringList list;
    for (const ColumnInfo& c : columns)
        list << (c.kind == ColumnKind::Blob && lazy
                     ? sizeExpr(d, c.name) + QStringLiteral(" AS ") + quoteIdent(d, c.name)
                     : quoteIdent(d, c.name));
    return list.join(QStringLiteral(", "));
}

bool RecordSet::fetchFirstRows(const QString& table)
{
    // One statement that also tells the columns: on a server a new
    // session's every statement costs a round trip and a parse.
    const SqlDialect d = connection_->dialect();
    const QString keyName = connection_->knownKeyColumn(table);
    if (keyName.isEmpty())
        return fetchSmallTable(table);
    const QString order = QStringLiteral(" ORDER BY ") + quoteIdent(d, keyName);
    const QString text = d == SqlDialect::SqlServer
        ? QStringLiteral("SELECT TOP %1 * FROM %2").arg(kFirstRows).arg(quoteIdent(d, table)) + order
        : QStringLiteral("SELECT * FROM %1").arg(quoteIdent(d, table)) + order + QStringLiteral(" LIMIT %1").arg(kFirstRows);
    QSqlQuery q;
    try {
        q = connection_->exec(text);
    } catch (const EDatabaseLinkLost&) {
        throw;
    } catch (const EDatabaseError&) {
        return false; // not the table we know: read it the long way
    }
    const QList<ColumnInfo> columns = connection_->tableColumns(table, q.record());
    const int n = int(columns.size());
    int key = -1;
    for (int i = 0; i < n && key < 0; ++i)
        if (columns[i].key && columns[i].kind == ColumnKind::Integer && columns[i].name.compare(keyName, Qt::CaseInsensitive) == 0)
            key = i;
    if (key < 0 || q.record().count() != n)
        return false;
    QList<Row> rows = sizedRows(q, columns);
    takeColumns(columns, table, true);
    ResultRows::KeyReader keys;
    if (rows.size() == kFirstRows) {
        const QString keysText = QStringLiteral("SELECT %1 FROM %2").arg(quoteIdent(d, keyName), quoteIdent(d, table));
        keys = [this, keysText] {
            std::vector<qint64> all = connection_->readKeys(keysText);
            sortKeys(all);
            return all;
        };
    }
    rows_.setFirstRows(
        std::move(rows), keyColumn_, n, [this](const std::vector<qint64>& page) { return readPage(page); }, std::move(keys),
        [this] { links_.tell([](DataLink* link) { link->rowsCounted(); }); });
    return true;
}

bool RecordSet::fetchSmallTable(const QString& table)
{
    // The districts: a short list of our own schema, read whole in the
    // statement that also tells its columns.
    const SqlDialect d = connection_->dialect();
    if (d != SqlDialect::SqlServer || schemaKeyColumn(d, table).isEmpty())
        return false;
    QSqlQuery q;
    try {
        q = connection_->exec(QStringLiteral("SELECT * FROM %1").arg(quoteIdent(d, table)));
    } catch (const EDatabaseLinkLost&) {
        throw;
    } catch (const EDatabaseError&) {
        return false;
    }
    const QList<ColumnInfo> columns = connection_->tableColumns(table, q.record());
    if (q.record().count() != columns.size())
        return false;
    QList<Row> rows = sizedRows(q, columns);
    takeColumns(columns, table, true);
    rows_.setRows(std::move(rows), keyColumn_);
    return true;
}

QList<RecordSet::Row> RecordSet::sizedRows(QSqlQuery& query, const QList<ColumnInfo>& columns)
{
    const int n = int(columns.size());
    QList<Row> rows;
    while (query.next()) {
        Row row(n);
        for (int i = 0; i < n; ++i) {
            const QVariant v = query.value(i);
            // Attachments are held as their sizes, as the pages give them;
            // a NULL stays the driver's own.
            if (columns[i].kind == ColumnKind::Blob && !v.isNull())
                row[i] = QVariant(qlonglong(v.toByteArray().size()));
            else
                row[i] = v;
        }
        rows.append(std::move(row));
    }
    return rows;
}

void RecordSet::fetch(const QString& text, bool firstRowsFirst)
{
    connection_->open();
    SqlDialect d = connection_->dialect();
    QList<ColumnInfo> columns;
    QString table, rest;
    bool lazy = false;
    if (splitSelectAll(text, table, rest)) {
        if (firstRowsFirst && wholeTable(rest) && fetchFirstRows(table))
            return;
        columns = connection_->tableColumns(table);
        lazy = !columns.isEmpty();
    }
    int key = -1;
    for (int i = 0; lazy && i < columns.size() && key < 0; ++i)
        if (columns[i].key)
            key = i;

    std::vector<qint64> keys;
    QList<Row> rows;
    const bool paged = lazy && key >= 0 && columns[key].kind == ColumnKind::Integer;
    if (paged) {
        // The keys only; a result without an order of its own comes in the
        // order of its keys, whichever index the database walks for them.
        BoundSql bound = bindNamed(d, QStringLiteral("SELECT ") + quoteIdent(d, columns[key].name) + QStringLiteral(" FROM ") + quoteIdent(d, table) + rest, params_);
        keys = connection_->readKeys(bound.text, bound.values);
        if (!hasOrderBy(rest))
            sortKeys(keys);
    } else {
        QString finalText = text;
        if (lazy)
            finalText = QStringLiteral("SELECT ") + selectList(columns, true) + QStringLiteral(" FROM ") + quoteIdent(d, table) + rest;
        BoundSql bound = bindNamed(d, finalText, params_);
        QSqlQuery q = connection_->exec(bound.text, bound.values);
        if (!lazy) {
            QSqlRecord rec = q.record();
            for (int i = 0; i < rec.count(); ++i) {
                // Some ODBC drivers report a name's length in bytes; Qt then keeps
                // the padding behind a NUL.
                QString name = rec.fieldName(i);
                qsizetype nul = name.indexOf(QChar(0));
                columns.append({nul < 0 ? name : name.left(nul), kindOfField(rec.field(i)), false});
            }
            table.clear();
        }
        const int n = int(columns.size());
        while (q.next()) {
            Row row(n);
            for (int i = 0; i < n; ++i)
                row[i] = q.value(i);
            rows.append(std::move(row));
        }
    }

    takeColumns(columns, table, lazy);
    const int n = int(columns.size());
    if (paged)
        rows_.setKeys(std::move(keys), keyColumn_, n, [this](const std::vector<qint64>& page) { return readPage(page); });
    else
        rows_.setRows(std::move(rows), keyColumn_);
}

void RecordSet::takeColumns(const QList<ColumnInfo>& columns, const QString& table, bool lazy)
{
    const int n = int(columns.size());
    columns_ = columns;
    lazyBlobs_ = lazy;
    ++generation_;
    baseTable_ = table;
    byName_.clear();
    keyColumn_ = versionColumn_ = -1;
    for (int i = 0; i < n; ++i) {
        byName_.insert(columns_[i].name.toLower(), i);
        if (columns_[i].key && keyColumn_ < 0)
            keyColumn_ = i;
        if (columns_[i].kind == ColumnKind::Version
            || (columns_[i].kind == ColumnKind::Integer && columns_[i].name.compare(u"RowVer", Qt::CaseInsensitive) == 0))
            versionColumn_ = i;
    }
    if (versionColumn_ >= 0)
        columns_[versionColumn_].kind = ColumnKind::Version;
    rows_.clear();
    buffer_.clear();
    original_.clear();
    changed_.fill(false, n);
    modified_ = false;
    blobCache_.clear();
}

QHash<qint64, RecordSet::Row> RecordSet::readPage(const std::vector<qint64>& keys) const
{
    // The keys are our own integers: written into the text, one statement
    // whatever their number.
    SqlDialect d = connection_->dialect();
    QStringList list;
    list.reserve(qsizetype(keys.size()));
    for (qint64 k : keys)
        list << QString::number(k);
    QSqlQuery q = connection_->exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                                        .arg(selectList(columns_, true), quoteIdent(d, baseTable_),
                                             quoteIdent(d, columns_[keyColumn_].name), list.join(u',')));
    QHash<qint64, Row> rows;
    rows.reserve(qsizetype(keys.size()));
    const int n = int(columns_.size());
    while (q.next()) {
        Row row(n);
        for (int i = 0; i < n; ++i)
            row[i] = q.value(i);
        rows.insert(row[keyColumn_].toLongLong(), std::move(row));
    }
    return rows;
}

void RecordSet::close()
{
    if (state_ == DataSetState::Inactive)
        return;
    rows_.clear();
    ++generation_;
    buffer_.clear();
    original_.clear();
    blobCache_.clear();
    modified_ = false;
    conflict_ = false;
    unsettled_.reset();
    current_ = -1;
    setState(DataSetState::Inactive);
    recordChanged(-1);
}

void RecordSet::setState(DataSetState state)
{
    if (state_ == state)
        return;
    state_ = state;
    links_.tell([state](DataLink* link) { link->stateChanged(state); });
}

void RecordSet::recordChanged(int fieldIndex)
{
    links_.tell([fieldIndex](DataLink* link) { link->recordChanged(fieldIndex); });
}

void RecordSet::afterScroll()
{
    links_.tell([](DataLink* link) { link->afterScroll(); });
}

void RecordSet::updateRecord()
{
    links_.tell([](DataLink* link) { link->updateData(); });
}

void RecordSet::setCurrent(int index)
{
    // A record among the first rows needs no count.
    int target = -1;
    if (!isEmpty())
        target = index >= 0 && index < rows_.knownCount() ? index : qBound(0, index, recordCount() - 1);
    // Its page first: when it cannot be read the record stays where it was.
    if (target >= 0)
        rows_.row(target);
    current_ = target;
    blobCache_.clear();
    recordChanged(-1);
    afterScroll();
}

void RecordSet::checkBrowseMode()
{
    checkActive();
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert)
        return;
    updateRecord();
    if (modified_)
        post();
    else
        cancel();
}

void RecordSet::first()
{
    checkBrowseMode();
    setCurrent(0);
}
void RecordSet::last()
{
    checkBrowseMode();
    setCurrent(recordCount() - 1);
}
void RecordSet::next()
{
    checkBrowseMode();
    setCurrent(current_ + 1);
}
void RecordSet::prior()
{
    checkBrowseMode();
    setCurrent(current_ - 1);
}
void RecordSet::moveTo(int index)
{
    checkBrowseMode();
    setCurrent(index);
}

void RecordSet::edit()
{
    checkActive();
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert)
        return;
    if (isEmpty()) {
        insert();
        return;
    }
    buffer_ = original_ = rows_.row(current_);
    changed_.fill(false, columns_.size());
    modified_ = false;
    setState(DataSetState::Edit);
    recordChanged(-1);
}

void RecordSet::beginInsert(int position)
{
    checkBrowseMode();
    position = qBound(0, position, recordCount());
    rows_.insert(position, Row(columns_.size()));
    ++generation_;
    current_ = position;
    buffer_ = Row(columns_.size());
    original_.clear();
    changed_.fill(false, columns_.size());
    modified_ = false;
    blobCache_.clear();
    setState(DataSetState::Insert);
    recordChanged(-1);
    afterScroll();
}

void RecordSet::insert()
{
    checkActive();
    beginInsert(qMax(current_, 0));
}
void RecordSet::append()
{
    checkActive();
    beginInsert(recordCount());
}

void RecordSet::cancel()
{
    checkActive();
    if (state_ == DataSetState::Insert) {
        rows_.remove(current_);
        ++generation_;
        if (current_ >= recordCount())
            current_ = recordCount() - 1;
    } else if (state_ != DataSetState::Edit) {
        return;
    }
    dropEdit();
    blobCache_.clear();
    setState(DataSetState::Browse);
    recordChanged(-1);
}

void RecordSet::refresh()
{
    checkBrowseMode();
    // The keys again; the pages read so far go with the old ones.
    QVariant key = keyColumn_ >= 0 && current_ >= 0 ? rows_.row(current_).value(keyColumn_) : QVariant();
    int old = current_;
    fetch(sql_.isEmpty() && !tableName_.isEmpty() ? QStringLiteral("select * from ") + tableName_ : sqlText(), false);
#ifdef __GLIBC__
    // The old keys went back to the allocator, which keeps large freed
    // blocks; hand them to the system, so a refresh holds no more than the
    // open did.
    malloc_trim(0);
#endif
    int found = rows_.find(key);
    current_ = found >= 0 ? found : isEmpty() ? -1
                                              : qBound(0, old, recordCount() - 1);
    if (current_ >= 0)
        rows_.row(current_);
    recordChanged(-1);
}

QStringList RecordSet::fieldNames() const
{
    QStringList names;
    for (const ColumnInfo& c : columns_)
        names << c.name;
    return names;
}

int RecordSet::fieldIndex(const QString& name) const { return byName_.value(name.toLower(), -1); }

Field RecordSet::fieldByName(const QString& name)
{
    int i = fieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("フィールド '%1' が見つかりません").arg(name));
    return Field(this, i);
}

Field RecordSet::field(int index)
{
    if (index < 0 || index >= columns_.size())
        throw EDatabaseError(QStringLiteral("フィールド番号 %1 は範囲外です").arg(index));
    return Field(this, index);
}

QVariant RecordSet::valueAt(int row, int index) const
{
    if (row == current_)
        return currentValue(index);
    return row >= 0 && (row < rows_.knownCount() || row < recordCount()) ? rows_.row(row).value(index) : QVariant();
}

RecordSet::Row RecordSet::storedRow() const
{
    if (state_ == DataSetState::Edit)
        return original_;
    return current_ >= 0 ? rows_.row(current_) : Row();
}

QVariant RecordSet::currentValue(int index) const
{
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert)
        return buffer_.value(index);
    if (current_ < 0)
        return {};
    return rows_.row(current_).value(index);
}

void RecordSet::setCurrentValue(int index, const QVariant& stored)
{
    checkEditing();
    if (index == versionColumn_)
        throw EDatabaseError(QStringLiteral("フィールド '%1' は変更できません").arg(columns_[index].name));
    buffer_[index] = stored;
    changed_[index] = true;
    modified_ = true;
    recordChanged(index);
}

qint64 RecordSet::blobSize(int index) const
{
    if (blobCache_.contains(index))
        return blobCache_.value(index).size();
    QVariant v = currentValue(index);
    if (v.isNull())
        return 0;
    return lazyBlobs_ ? v.toLongLong() : v.toByteArray().size();
}

QByteArray RecordSet::blobBytes(int index)
{
    auto cached = blobCache_.constFind(index);
    if (cached != blobCache_.constEnd())
        return *cached;
    QVariant v = currentValue(index);
    if (!lazyBlobs_ || v.isNull())
        return v.toByteArray();
    if (v.toLongLong() == 0)
        return QByteArray("", 0);
    SqlDialect d = connection_->dialect();
    QSqlQuery q = connection_->exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                        .arg(quoteIdent(d, columns_[index].name), quoteIdent(d, baseTable_),
                                             quoteIdent(d, columns_[keyColumn_].name)),
                                    {keyValue()});
    if (!q.next())
        throw EDatabaseError(QStringLiteral("レコードが見つかりません。他のユーザーが削除した可能性があります"));
    QByteArray bytes = q.value(0).toByteArray();
    blobCache_.insert(index, bytes);
    return bytes;
}

void RecordSet::setBlobBytes(int index, const QByteArray& bytes)
{
    checkEditing();
    QVariant stored;
    if (!bytes.isNull())
        stored = lazyBlobs_ ? QVariant(qlonglong(bytes.size())) : QVariant(bytes);
    blobCache_.insert(index, bytes);
    setCurrentValue(index, stored);
}

void RecordSet::addLink(DataLink* link) { links_.add(link); }
void RecordSet::removeLink(DataLink* link) { links_.remove(link); }

} // namespace tegaro
