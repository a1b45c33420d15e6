#pragma once
// Binds one control to one column of a data source:
//  - showing a record fills the control and clears its changed mark;
//  - a change by the user starts editing (in browse); where editing cannot
//    start the change is refused with a beep;
//  - a changed control writes into the column before every post.
// TextLink adds the rules of text controls:
//  - a character the column cannot hold is refused with a beep;
//  - text set from code marks it changed without starting editing;
//  - leaving a changed control writes its text; outside edit and insert the
//    write is refused with a message, focus and text stay;
//  - Escape restores the column's value.
#include "db/DataSource.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace tegaro {

class FieldLink : public QObject, public DataLink {
    Q_OBJECT
public:
    FieldLink(QWidget* control, DataSource* source, const QString& fieldName);
    ~FieldLink() override;

    QString fieldName() const { return fieldName_; }
    DataSource* dataSource() const { return source_; }
    bool isModified() const { return modified_; }

    // The field behind the control; false when the set is closed or lacks it.
    bool hasField() const;
    Field field() const;

    void recordChanged(int fieldIndex) override;
    void updateData() override;

    // Before a change by the user: starts editing; false (after a beep)
    // refuses it.
    bool beginUserChange();
    // After a change by the user that takes effect at once: written now.
    void commitUserChange();

protected:
    // Show the current record's value; null when there is no record to show.
    virtual void showField(const Field* field) = 0;
    // Write what the control holds into the field; throws when it cannot.
    virtual void writeField(Field field) = 0;

    // Writes a pending change now; false when the write was refused (the
    // error has been shown).
    bool writePending();

    QPointer<QWidget> control_;
    bool modified_ = false;
    bool filling_ = false; // showing a record, not a change by the user

private:
    QPointer<DataSource> source_;
    QString fieldName_;
};

// Edit boxes, memos and list boxes: the column's text.
class TextLink : public FieldLink {
    Q_OBJECT
public:
    using FieldLink::FieldLink;
    // The text shown, set from code (marks the control changed).
    void setTextFromCode(const QString& text);

protected:
    virtual QString controlText() const = 0;
    virtual void setControlText(const QString& text) = 0;
    // The widget that receives keys and focus (an editable combo's editor).
    virtual QWidget* inputWidget() const { return control_; }

    void showField(const Field* field) override;
    void writeField(Field field) override;

    // After a change by the user that came without a key (paste, drop):
    // starts editing and keeps what the user put in.
    void userChanged();
    // Watches keys, focus and Escape on the input widget.
    void watchInput();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool acceptsCharacter(const QString& text) const;
};

// May a column of that kind hold this typed text? (digits for numbers …)
bool columnAcceptsCharacters(ColumnKind kind, const QString& text);

} // namespace tegaro
