#pragma once
// One column of the current record of a record set. A light handle: it
// reads and writes the record set's buffer, so it stays valid across moves.
#include "db/SqlText.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

class QIODevice;

namespace tegaro {

class RecordSet;

// A stored value as the program shows it: empty for NULL, dates as
// "yyyy/MM/dd[ HH:mm:ss]", reals without trailing zeros, "(BLOB)".
QString displayText(ColumnKind kind, const QVariant& stored);
// The display texts of one column over all rows, read from the stored values
// (the current record is not moved).
QStringList columnTexts(const RecordSet& set, int index);

class Field {
public:
    Field(RecordSet* set, int index) : set_(set), index_(index) {}

    QString name() const;
    int index() const { return index_; }
    ColumnKind kind() const;
    bool isBlob() const { return kind() == ColumnKind::Blob; }

    bool isNull() const;
    QVariant value() const;   // date-times as QDateTime, blobs as bytes
    QString asString() const; // empty for NULL
    QDateTime asDateTime() const;

    // Writing outside edit or insert throws EDatabaseError. Text that the
    // column's type cannot hold throws EConvertError; empty text is NULL.
    void setValue(const QVariant& value);
    void setAsString(const QString& text);
    void setAsDateTime(const QDateTime& value);
    void clear();

    // Binary columns. The size never fetches the bytes.
    qint64 blobSize() const;
    QByteArray asBytes() const;
    void setBytes(const QByteArray& bytes);
    void loadFromStream(QIODevice& stream); // every byte from the stream's start
    void loadFromFile(const QString& path);
    void saveToStream(QIODevice& stream) const; // at the stream's position

private:
    RecordSet* set_;
    int index_;
};

} // namespace tegaro
