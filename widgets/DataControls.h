#pragma once
// The data-aware controls of the record form. Each shows one column of the
// current record of its data source and follows the rules of FieldLink.
#include "widgets/FieldLink.h"

#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPlainTextEdit>

class QCheckBox;
class QDateEdit;

namespace tegaro {

class DataSource;

// Binds an existing line edit (an edit box or a property row).
FieldLink* bindLineEdit(QLineEdit* edit, DataSource* source, const QString& fieldName);

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);
    FieldLink* link() const { return link_; }

private:
    FieldLink* link_;
};

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    DBMemo(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);
    FieldLink* link() const { return link_; }

private:
    FieldLink* link_;
};

// A list box: with free text the list only offers values; a fixed list
// takes nothing else.
class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    enum Style { FreeText, FixedList };
    DBComboBox(DataSource* source, const QString& fieldName, Style style, const QStringList& items,
               QWidget* parent = nullptr);
    FieldLink* link() const { return link_; }

private:
    FieldLink* link_;
};

// A fixed list whose entries are the values of one column of another data
// source (the districts): only those can be chosen.
class DBLookupComboBox : public DBComboBox {
    Q_OBJECT
public:
    DBLookupComboBox(DataSource* source, const QString& fieldName, DataSource* listSource,
                     const QString& listField, QWidget* parent = nullptr);
    QStringList listValues() const;

private:
    class ListLink;
    ListLink* list_;
};

// Fills a combo box with the values of one column of a data source whenever
// that source opens (the district search uses it without a binding).
void fillFromColumn(QComboBox* combo, DataSource* source, const QString& fieldName);

// A date with a check box. It holds a full date-time and keeps its own time
// of day: showing a record replaces the date; picking a date starts editing
// and writes the date joined with that time. Unchecked means NULL.
class DBDateTimePicker : public QWidget, public DataLink {
    Q_OBJECT
public:
    DBDateTimePicker(DataSource* source, const QString& fieldName, const QDateTime& initial,
                     QWidget* parent = nullptr);
    ~DBDateTimePicker() override;

    QDateTime dateTime() const { return value_; }
    bool isChecked() const;
    // What the user does: pick a date, or tick / untick the box.
    void pickDate(const QDate& date);
    void setChecked(bool checked);

    QCheckBox* checkBox() const { return check_; }
    QDateEdit* dateEdit() const { return edit_; }

    void recordChanged(int fieldIndex) override;

private:
    bool hasField() const;
    void write();

    QPointer<DataSource> source_;
    QString fieldName_;
    QDateTime value_;
    QCheckBox* check_;
    QDateEdit* edit_;
    bool filling_ = false;
};

} // namespace tegaro
