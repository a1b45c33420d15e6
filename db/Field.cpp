#include "db/Field.h"

#include "core/Errors.h"
#include "db/RecordSet.h"

#include <QFile>
#include <QIODevice>

namespace tegaro {

QString Field::name() const { return set_->column(index_).name; }
ColumnKind Field::kind() const { return set_->column(index_).kind; }

bool Field::isNull() const
{
    if (isBlob())
        return set_->currentValue(index_).isNull() && set_->blobSize(index_) == 0;
    return set_->currentValue(index_).isNull();
}

QVariant Field::value() const
{
    switch (kind()) {
    case ColumnKind::Blob: {
        QByteArray bytes = asBytes();
        return bytes.isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(bytes);
    }
    case ColumnKind::DateTime: {
        QDateTime dt = asDateTime();
        return dt.isValid() ? QVariant(dt) : QVariant(QMetaType::fromType<QDateTime>());
    }
    default: return set_->currentValue(index_);
    }
}

QDateTime Field::asDateTime() const { return parseDbDateTime(set_->currentValue(index_)); }

QString displayText(ColumnKind kind, const QVariant& stored)
{
    if (stored.isNull())
        return {};
    switch (kind) {
    case ColumnKind::Blob: return QStringLiteral("(BLOB)");
    case ColumnKind::DateTime: {
        QDateTime dt = parseDbDateTime(stored);
        return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy/MM/dd"))
                                        : dt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    }
    case ColumnKind::Real: return QString::number(stored.toDouble(), 'g', 15);
    default: return stored.toString();
    }
}

QStringList columnTexts(const RecordSet& set, int index)
{
    QStringList texts;
    const ColumnKind kind = set.column(index).kind;
    for (int row = 0; row < set.recordCount(); ++row)
        texts << displayText(kind, set.valueAt(row, index));
    return texts;
}

QString Field::asString() const { return displayText(kind(), set_->currentValue(index_)); }

void Field::setValue(const QVariant& value)
{
    if (value.isNull()) {
        clear();
        return;
    }
    switch (kind()) {
    case ColumnKind::Blob: setBytes(value.toByteArray()); return;
    case ColumnKind::DateTime:
        if (value.metaType().id() == QMetaType::QDateTime || value.metaType().id() == QMetaType::QDate) {
            setAsDateTime(value.toDateTime());
            return;
        }
        break;
    case ColumnKind::Integer:
    case ColumnKind::Real:
        if (value.metaType().id() != QMetaType::QString)
            break;
        [[fallthrough]];
    default:
        setAsString(value.toString());
        return;
    }
    if (kind() == ColumnKind::DateTime)
        setAsString(value.toString());
    else
        set_->setCurrentValue(index_, kind() == ColumnKind::Integer ? QVariant(value.toLongLong()) : QVariant(value.toDouble()));
}

void Field::setAsString(const QString& text)
{
    ColumnKind k = kind();
    if (k == ColumnKind::Text || k == ColumnKind::Version) {
        // Emptied text is NULL, as for every other kind of column.
        set_->setCurrentValue(index_, text.isEmpty() ? QVariant() : QVariant(text));
        return;
    }
    if (k == ColumnKind::Blob) {
        setBytes(text.toUtf8());
        return;
    }
    QString t = text.trimmed();
    if (t.isEmpty()) {
        set_->setCurrentValue(index_, QVariant());
        return;
    }
    bool ok = false;
    QVariant stored;
    if (k == ColumnKind::Integer) {
        stored = t.toLongLong(&ok);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' は有効な整数値ではありません").arg(text));
    } else if (k == ColumnKind::Real) {
        stored = t.toDouble(&ok);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' は有効な浮動小数点数値ではありません").arg(text));
    } else {
        QDateTime dt = parseDbDateTime(t);
        if (!dt.isValid())
            throw EConvertError(QStringLiteral("'%1' は有効な日付時刻ではありません").arg(text));
        stored = dt;
    }
    set_->setCurrentValue(index_, stored);
}

void Field::setAsDateTime(const QDateTime& value)
{
    if (kind() != ColumnKind::DateTime && kind() != ColumnKind::Text)
        throw EConvertError(QStringLiteral("フィールド '%1' は日付時刻を持てません").arg(name()));
    set_->setCurrentValue(index_, value.isValid() ? QVariant(value) : QVariant());
}

void Field::clear()
{
    if (isBlob())
        set_->setBlobBytes(index_, QByteArray());
    else
        set_->setCurrentValue(index_, QVariant());
}

qint64 Field::blobSize() const { return set_->blobSize(index_); }

QByteArray Field::asBytes() const { return set_->blobBytes(index_); }

void Field::setBytes(const QByteArray& bytes)
{
    if (!isBlob())
        throw EDatabaseError(QStringLiteral("フィールド '%1' はバイナリではありません").arg(name()));
    // Zero bytes stay zero bytes, apart from a cleared (NULL) field.
    set_->setBlobBytes(index_, bytes.isNull() ? QByteArray("", 0) : bytes);
}

void Field::loadFromStream(QIODevice& stream)
{
    if (!stream.isSequential())
        stream.seek(0);
    setBytes(stream.readAll());
}

void Field::loadFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("ファイル %1 を開けません。%2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("ファイル %1 を読み込めません。%2").arg(path, file.errorString()));
    setBytes(bytes);
}

void Field::saveToStream(QIODevice& stream) const
{
    QByteArray bytes = asBytes();
    if (!bytes.isEmpty() && stream.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("ストリームに書き込めません。%1").arg(stream.errorString()));
}

} // namespace tegaro
