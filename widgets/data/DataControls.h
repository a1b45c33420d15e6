#pragma once
// The data-aware controls of the record form. Each shows one column of the
// current record of its data source and follows the rules of FieldLink.
#include "widgets/data/FieldLink.h"

#include <QComboBox>
#include <QDateTime>
#include <QMap>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <memory>

class QCheckBox;
class QDateEdit;
class QLineEdit;

namespace tegaro {

class DataSource;

// Binds an existing line edit (an edit box or a property row).
TextLink* bindLineEdit(QLineEdit* edit, DataSource* source, const QString& fieldName);

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);
    TextLink* link() const { return link_; }

private:
    TextLink* link_;
};

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    DBMemo(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);
    TextLink* link() const { return link_; }

private:
    TextLink* link_;
};

// A list box: with free text the list only offers values; a fixed list
// takes nothing else.
class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    enum Style {
        FreeText,
        FixedList
    };
    DBComboBox(DataSource* source, const QString& fieldName, Style style, const QStringList& items,
               QWidget* parent = nullptr);
    TextLink* link() const { return link_; }

private:
    TextLink* link_;
};

// Keeps a list box filled with the values of one column of a data source:
// filled again each time the source opens, from the values, without moving
// its record.
class ColumnListLink final : public DataLink {
public:
    ColumnListLink(QComboBox* combo, DataSource* source, const QString& fieldName);
    ~ColumnListLink() override;
    void stateChanged(DataSetState state) override;

private:
    QComboBox* combo_;
    QPointer<DataSource> source_;
    QString fieldName_;
    bool filled_ = false;
};

// A fixed list whose entries are the values of one column of another data
// source (the districts): only those can be chosen.
class DBLookupComboBox : public DBComboBox {
    Q_OBJECT
public:
    DBLookupComboBox(DataSource* source, const QString& fieldName, DataSource* listSource,
                     const QString& listField, QWidget* parent = nullptr);
    ~DBLookupComboBox() override;
    QStringList listValues() const;

private:
    std::unique_ptr<ColumnListLink> list_;
};

// A date with a check box. It holds a full date-time and keeps its own time
// of day: showing a record replaces the date; picking a date starts editing
// and writes the date joined with that time. Unchecked means NULL.
class DBDateTimePicker : public QWidget {
    Q_OBJECT
public:
    DBDateTimePicker(DataSource* source, const QString& fieldName, const QDateTime& initial,
                     QWidget* parent = nullptr);
    FieldLink* link() const { return link_; }

    QDateTime dateTime() const { return value_; }
    bool isChecked() const;
    // What the user does: pick a date, or tick / untick the box.
    void pickDate(const QDate& date);
    void setChecked(bool checked);
    // A stored value (invalid: NULL); without a record the date stays usable.
    void showStored(const QDateTime& stored, bool hasRecord);

    QCheckBox* checkBox() const { return check_; }
    QDateEdit* dateEdit() const { return edit_; }
    // The text field of the date editor, as typed into.
    QLineEdit* dateLine() const;

signals:
    // A typed date that does not exist was refused; the field keeps it and
    // the focus until it is mended.
    void refused(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether what was typed names a date that exists, and the date it names.
    bool typedDateExists() const;
    QString typedDateText() const;
    void forgetTyped();
    void refuseTyped();

    FieldLink* link_;
    QDateTime value_;
    QCheckBox* check_;
    QDateEdit* edit_;
    bool filling_ = false;
    bool refusing_ = false;
    // The digits typed into each part of the date (year, month, day) since
    // it was last taken: Qt's editor shows 2月29日 for a typed 2月30日 and
    // 3月 for a typed 13月.
    QMap<int, QString> typed_;
    int typedSection_ = -1; // the part the last digit went to
};

} // namespace tegaro
