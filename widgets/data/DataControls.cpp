#include "widgets/data/DataControls.h"

#include "core/ErrorGuard.h"
#include "widgets/UserSeam.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
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

namespace {

const QRegularExpression& typedDatePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日\\s*$"));
    return pattern;
}

// Qt's date editor refuses a key that makes a date which does not exist
// and, on leaving, falls back to the date it held: a day 0 or a 2月30日
// went in as another date without a word. Here such a text may be typed;
// the picker refuses it as a whole when the field is left.
class TypedDateEdit final : public QDateEdit {
public:
    using QDateEdit::QDateEdit;
    QLineEdit* line() const { return lineEdit(); }

protected:
    QValidator::State validate(QString& text, int& pos) const override
    {
        // Qt may rewrite the text it checks; one that names no date is kept as typed
        const QString typed = text;
        const QValidator::State state = QDateEdit::validate(text, pos);
        if (state != QValidator::Acceptable && typedDatePattern().match(typed).hasMatch()) {
            text = typed;
            return QValidator::Intermediate;
        }
        return state;
    }
    void fixup(QString& text) const override
    {
        if (!typedDatePattern().match(text).hasMatch())
            QDateEdit::fixup(text);
    }
};

} // namespace

DBDateTimePicker::DBDateTimePicker(DataSource* source, const QString& fieldName, const QDateTime& initial,
                                   QWidget* parent)
    : QWidget(parent), value_(initial)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    check_ = new QCheckBox(this);
    edit_ = new TypedDateEdit(initial.date(), this);
    edit_->setCalendarPopup(true);
    // a date is taken when it is typed in full, not at each key
    edit_->setKeyboardTracking(false);
    edit_->installEventFilter(this);
    dateLine()->installEventFilter(this);
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

QLineEdit* DBDateTimePicker::dateLine() const
{
    return static_cast<TypedDateEdit*>(edit_)->line();
}

QString DBDateTimePicker::typedDateText() const
{
    if (typed_.isEmpty())
        return dateLine()->text().trimmed();
    auto part = [&](QDateTimeEdit::Section section) { return typed_.value(section, edit_->sectionText(section)); };
    return QStringLiteral("%1年%2月%3日")
        .arg(part(QDateTimeEdit::YearSection), part(QDateTimeEdit::MonthSection), part(QDateTimeEdit::DaySection));
}

bool DBDateTimePicker::typedDateExists() const
{
    const QRegularExpressionMatch m = typedDatePattern().match(typedDateText());
    if (!m.hasMatch())
        return edit_->hasAcceptableInput();
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()).isValid();
}

void DBDateTimePicker::forgetTyped()
{
    typed_.clear();
    typedSection_ = -1;
}

void DBDateTimePicker::refuseTyped()
{
    refusing_ = true;
    emit refused(QStringLiteral("「%1」という日付はありません。正しい日付を入力して下さい。").arg(typedDateText()));
    refusing_ = false;
    edit_->setFocus(Qt::OtherFocusReason);
}

bool DBDateTimePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (filling_ || (watched != edit_ && watched != dateLine()))
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        typedSection_ = -1; // a click into a part starts it afresh
        return QWidget::eventFilter(watched, event);
    }
    if (watched != edit_)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        const bool leaves = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab;
        if (leaves) {
            if (!typedDateExists()) {
                refuseTyped();
                return true;
            }
            forgetTyped();
        } else if (key == Qt::Key_Escape) {
            if (!typedDateExists()) {
                // back to the date the field holds
                forgetTyped();
                filling_ = true;
                edit_->setDate(value_.date().addDays(1));
                edit_->setDate(value_.date());
                filling_ = false;
                return true;
            }
            forgetTyped();
        } else if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(keyEvent->modifiers() & Qt::ControlModifier)) {
            const int section = edit_->currentSection();
            const qsizetype longest = section == QDateTimeEdit::YearSection ? 4 : 2;
            QString& digits = typed_[section];
            if (section != typedSection_ || digits.size() >= longest)
                digits.clear();
            digits += QChar(u'0' + (key - Qt::Key_0));
            typedSection_ = section;
        } else if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Backspace || key == Qt::Key_Delete) {
            typed_.remove(edit_->currentSection()); // the part shows what it holds again
            typedSection_ = -1;
        } else if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End) {
            typedSection_ = -1;
        }
    } else if (event->type() == QEvent::FocusOut) {
        if (typedDateExists()) {
            forgetTyped();
            return QWidget::eventFilter(watched, event);
        }
        // Qt would put the former date back; the text stays for the user to mend
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (!refusing_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            QTimer::singleShot(0, this, [this] {
                if (!typedDateExists() && !refusing_)
                    refuseTyped();
            });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DBDateTimePicker::showStored(const QDateTime& stored, bool hasRecord)
{
    forgetTyped();
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
    forgetTyped();
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
