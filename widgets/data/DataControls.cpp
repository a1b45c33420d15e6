#include "widgets/data/DataControls.h"

#include "core/ErrorGuard.h"
#include "widgets/UserSeam.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

namespace tegaro {

namespace {

class LineEditLink final : public TextLink {
public:
    LineEditLink(QLineEdit* edit, DataSource* source, const QString& name)
        : TextLink(edit, source, name), edit_(edit)
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

class MemoLink final : public TextLink {
public:
    MemoLink(QPlainTextEdit* memo, DataSource* source, const QString& name)
        : TextLink(memo, source, name), memo_(memo)
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

class ComboLink final : public TextLink {
public:
    ComboLink(QComboBox* combo, DataSource* source, const QString& name)
        : TextLink(combo, source, name), combo_(combo)
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

// The picker's date joined with its own time of day; unchecked is NULL.
class DateLink final : public FieldLink {
public:
    DateLink(DBDateTimePicker* picker, DataSource* source, const QString& name)
        : FieldLink(picker, source, name), picker_(picker)
    {
        recordChanged(-1);
    }

protected:
    void showField(const Field* field) override
    {
        picker_->showStored(field ? field->asDateTime() : QDateTime(), field != nullptr);
    }
    void writeField(Field field) override
    {
        if (picker_->isChecked())
            field.setAsDateTime(picker_->dateTime());
        else
            field.clear();
    }

private:
    DBDateTimePicker* picker_;
};

} // namespace

TextLink* bindLineEdit(QLineEdit* edit, DataSource* source, const QString& fieldName)
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

void fillFromColumn(QComboBox* combo, const RecordSet* set, const QString& fieldName)
{
    const QString shown = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    if (set && set->isOpen() && set->hasField(fieldName))
        combo->addItems(columnTexts(*set, set->fieldIndex(fieldName)));
    if (combo->isEditable())
        combo->setEditText(shown);
    else
        combo->setCurrentIndex(combo->findText(shown));
}

ColumnListLink::ColumnListLink(QComboBox* combo, DataSource* source, const QString& fieldName)
    : combo_(combo), source_(source), fieldName_(fieldName)
{
    source_->addLink(this);
    stateChanged(source_->state());
}

ColumnListLink::~ColumnListLink()
{
    if (source_)
        source_->removeLink(this);
}

void ColumnListLink::stateChanged(DataSetState state)
{
    if (state == DataSetState::Browse && !filled_) {
        filled_ = true;
        fillFromColumn(combo_, source_->dataSet(), fieldName_);
    } else if (state == DataSetState::Inactive) {
        filled_ = false;
    }
}

DBLookupComboBox::DBLookupComboBox(DataSource* source, const QString& fieldName, DataSource* listSource,
                                   const QString& listField, QWidget* parent)
    : DBComboBox(source, fieldName, FixedList, {}, parent)
{
    setMaxVisibleItems(15);
    list_ = std::make_unique<ColumnListLink>(this, listSource, listField);
}

DBLookupComboBox::~DBLookupComboBox() = default;

QStringList DBLookupComboBox::listValues() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemText(i);
    return out;
}

DBDateTimePicker::DBDateTimePicker(DataSource* source, const QString& fieldName, const QDateTime& initial,
                                   QWidget* parent)
    : QWidget(parent), value_(initial)
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
    link_ = new DateLink(this, source, fieldName);
}

bool DBDateTimePicker::isChecked() const { return check_->isChecked(); }

void DBDateTimePicker::showStored(const QDateTime& stored, bool hasRecord)
{
    filling_ = true;
    check_->setChecked(stored.isValid());
    if (stored.isValid()) {
        // Only the date comes from the record; the time of day is the picker's own.
        value_.setDate(stored.date());
        edit_->setDate(stored.date());
    }
    edit_->setEnabled(stored.isValid() || !hasRecord);
    filling_ = false;
}

void DBDateTimePicker::pickDate(const QDate& date)
{
    if (!link_->beginUserChange()) {
        link_->recordChanged(-1);
        return;
    }
    value_.setDate(date);
    filling_ = true;
    edit_->setDate(date);
    check_->setChecked(true);
    edit_->setEnabled(true);
    filling_ = false;
    link_->commitUserChange();
}

void DBDateTimePicker::setChecked(bool checked)
{
    if (!link_->beginUserChange()) {
        link_->recordChanged(-1);
        return;
    }
    filling_ = true;
    check_->setChecked(checked);
    edit_->setEnabled(checked);
    filling_ = false;
    link_->commitUserChange();
}

} // namespace tegaro
