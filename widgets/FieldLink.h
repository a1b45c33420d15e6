#pragma once
// Binds one text control to one column of a data source:
//  - showing a record fills the control and clears its changed mark;
//  - a typed character starts editing (in browse) and marks it changed; a
//    character the column cannot hold is refused with a beep;
//  - text set from code marks it changed without starting editing;
//  - leaving a changed control, and posting, writes its text; outside edit
//    and insert the write is refused with a message, focus and text stay;
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
    // The text shown, set from code (marks the control changed).
    void setTextFromCode(const QString& text);

    // The field behind the control; false when the set is closed or lacks it.
    bool hasField() const;
    Field field() const;

    void recordChanged(int fieldIndex) override;
    void updateData() override;

protected:
    virtual QString controlText() const = 0;
    virtual void setControlText(const QString& text) = 0;
    // The widget that receives keys and focus (an editable combo's editor).
    virtual QWidget* inputWidget() const { return control_; }

    // Before a change by the user: starts editing; false refuses it.
    bool beginUserChange();
    void userChanged();
    // Watches keys, focus and Escape on the input widget.
    void watchInput();

    bool eventFilter(QObject* watched, QEvent* event) override;
    QPointer<QWidget> control_;

private:
    bool acceptsCharacter(const QString& text) const;
    void reset();
    bool writeOnLeave();

    QPointer<DataSource> source_;
    QString fieldName_;
    bool modified_ = false;
    bool filling_ = false;
};

// May a column of that kind hold this typed text? (digits for numbers …)
bool columnAcceptsCharacters(ColumnKind kind, const QString& text);

} // namespace tegaro
