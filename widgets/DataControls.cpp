#include "widgets/DataControls.h"

#include "core/ErrorGuard.h"
#include "core/UserSeam.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

namespace tegaro {

namespace {

class LineEditLink final : public FieldLink {
public:
    LineEditLink(QLineEdit* edit, DataSource* source, const QString& name)
        : FieldLink(edit, source, name), edit_(edit)
    {
        watchInput();
        QObject::connect(edit, &QLineEdit::textEdited, this, [this] { userChanged(); });
        recordChanged(-1);
    }

protected:
    QString controlText() const override { return edit_->text(); }
    void setControlText(const QString& text) override
    {
        // The same text again must not lose the user's selection.
        if (edit_->text() != text)
            edit_->setText(text);
    }

private:
    QLineEdit* edit_;
};

class MemoLink final : public FieldLink {
public:
    MemoLink(QPlainTextEdit* memo, DataSource* source, const QString& name)
        : FieldLink(memo, source, name), memo_(memo)
    {
        watchInput();
        QObject::connect(memo->document(), &QTextDocument::contentsChanged, this, [this] {
            if (memo_->hasFocus())
                userChanged();
        });
        recordChanged(-1);
    }

protected:
    QString controlText() const override { return memo_->toPlainText(); }
    void setControlText(const QString& text) override
    {
        if (memo_->toPlainText() != text)
            memo_->setPlainText(text);
    }
    QWidget* inputWidget() const override { return memo_; }

private:
    QPlainTextEdit* memo_;
};

class ComboLink final : public FieldLink {
public:
    ComboLink(QComboBox* combo, DataSource* source, const QString& name)
        : FieldLink(combo, source, name), combo_(combo)
    {
        watchInput();
        if (combo->isEditable())
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this] { userChanged(); });
        // Choosing from the list is a change by the user as well.
        QObject::connect(combo, &QComboBox::activated, this, [this](int index) {
            const QString chosen = combo_->itemText(index);
            if (!beginUserChange()) {
                recordChanged(-1);
                return;
            }
            setControlText(chosen);
            userChanged();
        });
        recordChanged(-1);
    }

protected:
    QString controlText() const override
    {
        return combo_->isEditable() ? combo_->currentText() : (combo_->currentIndex() >= 0 ? combo_->currentText() : QString());
    }
    void setControlText(const QString& text) override
    {
        if (combo_->isEditable()) {
            if (combo_->currentText() != text)
                combo_->setEditText(text);
        } else {
            // A value the list lacks shows as nothing chosen.
            combo_->setCurrentIndex(combo_->findText(text, Qt::MatchExactly));
        }
    }
    QWidget* inputWidget() const override { return combo_->isEditable() ? static_cast<QWidget*>(combo_->lineEdit()) : combo_; }

private:
    QComboBox* combo_;
};

} // namespace

FieldLink* bindLineEdit(QLineEdit* edit, DataSource* source, const QString& fieldName)
{
    return new LineEditLink(edit, source, fieldName);
}

DBEdit::DBEdit(DataSource* source, const QString& fieldName, QWidget* parent) : QLineEdit(parent)
{
    link_ = bindLineEdit(this, source, fieldName);
}

DBMemo::DBMemo(DataSource* source, const QString& fieldName, QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    link_ = new MemoLink(this, source, fieldName);
}

DBComboBox::DBComboBox(DataSource* source, const QString& fieldName, Style style, const QStringList& items,
                       QWidget* parent)
    : QComboBox(parent)
{
    setEditable(style == FreeText);
    setInsertPolicy(QComboBox::NoInsert);
    addItems(items);
    link_ = new ComboLink(this, source, fieldName);
}

class DBLookupComboBox::ListLink final : public DataLink {
public:
    ListLink(QComboBox* combo, DataSource* source, const QString& field)
        : combo_(combo), source_(source), field_(field)
    {
        source_->addLink(this);
    }
    ~ListLink() override
    {
        if (source_)
            source_->removeLink(this);
    }
    void recordChanged(int) override {}
    void stateChanged(DataSetState state) override
    {
        if (state == DataSetState::Browse && !filled_) {
            filled_ = true;
            fillFromColumn(combo_, source_, field_);
        } else if (state == DataSetState::Inactive) {
            filled_ = false;
        }
    }

private:
    QComboBox* combo_;
    QPointer<DataSource> source_;
    QString field_;
    bool filled_ = false;
};

void fillFromColumn(QComboBox* combo, DataSource* source, const QString& fieldName)
{
    RecordSet* set = source ? source->dataSet() : nullptr;
    const QString shown = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    if (!set || !set->isOpen() || !set->hasField(fieldName))
        return;
    // Walk the rows and come back to where the set was.
    const int at = set->recNo() - 1;
    const QSignalBlocker blockSet(set);
    for (int i = 0; i < set->recordCount(); ++i) {
        set->moveTo(i);
        combo->addItem(set->fieldByName(fieldName).asString());
    }
    if (at >= 0)
        set->moveTo(at);
    if (combo->isEditable())
        combo->setEditText(shown);
    else
        combo->setCurrentIndex(combo->findText(shown));
}

DBLookupComboBox::DBLookupComboBox(DataSource* source, const QString& fieldName, DataSource* listSource,
                                   const QString& listField, QWidget* parent)
    : DBComboBox(source, fieldName, FixedList, {}, parent)
{
    setMaxVisibleItems(15);
    list_ = new ListLink(this, listSource, listField);
    if (listSource->state() == DataSetState::Browse)
        list_->stateChanged(DataSetState::Browse);
}

QStringList DBLookupComboBox::listValues() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemText(i);
    return out;
}

DBDateTimePicker::DBDateTimePicker(DataSource* source, const QString& fieldName, const QDateTime& initial,
                                   QWidget* parent)
    : QWidget(parent), source_(source), fieldName_(fieldName), value_(initial)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    check_ = new QCheckBox(this);
    edit_ = new QDateEdit(initial.date(), this);
    edit_->setCalendarPopup(true);
    edit_->setDisplayFormat(QStringLiteral("yyyy'年'M'月'd'日'"));
    layout->addWidget(check_);
    layout->addWidget(edit_, 1);
    connect(edit_, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        if (!filling_)
            guarded([&] { pickDate(date); });
    });
    connect(check_, &QCheckBox::clicked, this, [this](bool on) {
        guarded([&] { setChecked(on); });
    });
    if (source_)
        source_->addLink(this);
    recordChanged(-1);
}

DBDateTimePicker::~DBDateTimePicker()
{
    if (source_)
        source_->removeLink(this);
}

bool DBDateTimePicker::hasField() const
{
    RecordSet* set = source_ ? source_->dataSet() : nullptr;
    return set && set->isOpen() && set->hasField(fieldName_) && set->recordCount() > 0;
}

bool DBDateTimePicker::isChecked() const { return check_->isChecked(); }

void DBDateTimePicker::recordChanged(int fieldIndex)
{
    if (fieldIndex >= 0 && (!hasField() || source_->dataSet()->fieldIndex(fieldName_) != fieldIndex))
        return;
    filling_ = true;
    const QDateTime stored = hasField() ? source_->dataSet()->fieldByName(fieldName_).asDateTime() : QDateTime();
    check_->setChecked(stored.isValid());
    if (stored.isValid()) {
        // Only the date comes from the record; the time of day is the picker's own.
        value_.setDate(stored.date());
        edit_->setDate(stored.date());
    }
    edit_->setEnabled(stored.isValid() || !hasField());
    filling_ = false;
}

void DBDateTimePicker::pickDate(const QDate& date)
{
    if (!hasField() || !source_->edit()) {
        recordChanged(-1);
        seam().beep();
        return;
    }
    value_.setDate(date);
    filling_ = true;
    edit_->setDate(date);
    check_->setChecked(true);
    edit_->setEnabled(true);
    filling_ = false;
    write();
}

void DBDateTimePicker::setChecked(bool checked)
{
    if (!hasField() || !source_->edit()) {
        recordChanged(-1);
        seam().beep();
        return;
    }
    filling_ = true;
    check_->setChecked(checked);
    edit_->setEnabled(checked);
    filling_ = false;
    write();
}

void DBDateTimePicker::write()
{
    Field f = source_->dataSet()->fieldByName(fieldName_);
    if (check_->isChecked())
        f.setAsDateTime(value_);
    else
        f.clear();
}

} // namespace tegaro
