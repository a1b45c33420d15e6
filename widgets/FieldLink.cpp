#include "widgets/FieldLink.h"

#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "core/UserSeam.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QWidget>

namespace tegaro {

bool columnAcceptsCharacters(ColumnKind kind, const QString& text)
{
    for (const QChar c : text) {
        switch (kind) {
        case ColumnKind::Integer:
        case ColumnKind::Version:
            if (!c.isDigit() || c.unicode() > 0x7F) {
                if (c != u'-' && c != u'+')
                    return false;
            }
            break;
        case ColumnKind::Real:
            if ((!c.isDigit() || c.unicode() > 0x7F) && !QStringLiteral("+-.eE").contains(c))
                return false;
            break;
        case ColumnKind::DateTime:
            if ((!c.isDigit() || c.unicode() > 0x7F) && !QStringLiteral("/-: .").contains(c))
                return false;
            break;
        case ColumnKind::Blob:
            return false;
        case ColumnKind::Text:
            break;
        }
    }
    return true;
}

FieldLink::FieldLink(QWidget* control, DataSource* source, const QString& fieldName)
    : QObject(control), control_(control), source_(source), fieldName_(fieldName)
{
    if (source_)
        source_->addLink(this);
}

FieldLink::~FieldLink()
{
    if (source_)
        source_->removeLink(this);
}

bool FieldLink::hasField() const
{
    RecordSet* set = source_ ? source_->dataSet() : nullptr;
    return set && set->isOpen() && set->hasField(fieldName_);
}

Field FieldLink::field() const
{
    return source_->dataSet()->fieldByName(fieldName_);
}

void FieldLink::watchInput()
{
    inputWidget()->installEventFilter(this);
}

void FieldLink::recordChanged(int fieldIndex)
{
    if (fieldIndex >= 0 && (!hasField() || source_->dataSet()->fieldIndex(fieldName_) != fieldIndex))
        return;
    filling_ = true;
    setControlText(hasField() && source_->dataSet()->recordCount() > 0 ? field().asString() : QString());
    filling_ = false;
    modified_ = false;
}

void FieldLink::updateData()
{
    if (!modified_ || !hasField())
        return;
    field().setAsString(controlText()); // throws when it cannot be written
    modified_ = false;
}

void FieldLink::setTextFromCode(const QString& text)
{
    filling_ = true;
    setControlText(text);
    filling_ = false;
    modified_ = true;
}

bool FieldLink::beginUserChange()
{
    if (filling_)
        return true;
    if (!hasField() || !source_->edit()) {
        seam().beep();
        return false;
    }
    return true;
}

void FieldLink::userChanged()
{
    if (filling_)
        return;
    // A paste or a drop reaches here without a key: start editing now and
    // keep what the user put in.
    if (hasField()) {
        const DataSetState s = source_->state();
        if (s != DataSetState::Edit && s != DataSetState::Insert) {
            const QString text = controlText();
            if (!source_->edit()) {
                seam().beep();
                reset();
                return;
            }
            filling_ = true;
            setControlText(text);
            filling_ = false;
        }
    }
    modified_ = true;
}

bool FieldLink::acceptsCharacter(const QString& text) const
{
    return !hasField() || columnAcceptsCharacters(field().kind(), text);
}

void FieldLink::reset()
{
    recordChanged(-1);
}

bool FieldLink::writeOnLeave()
{
    if (!modified_ || !hasField())
        return true;
    try {
        field().setAsString(controlText());
        modified_ = false;
        return true;
    } catch (...) {
        reportException();
        return false;
    }
}

bool FieldLink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != inputWidget())
        return false;
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (modified_) {
                reset();
                return true;
            }
            return false;
        }
        const QString text = key->text();
        const bool typing = !text.isEmpty() && text.at(0).isPrint();
        const bool erasing = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete;
        if (typing && !acceptsCharacter(text)) {
            seam().beep();
            return true;
        }
        if ((typing || erasing) && !beginUserChange())
            return true;
        return false;
    }
    if (event->type() == QEvent::InputMethod) {
        const QString text = static_cast<QInputMethodEvent*>(event)->commitString();
        if (!text.isEmpty()) {
            if (!acceptsCharacter(text)) {
                seam().beep();
                return true;
            }
            if (!beginUserChange())
                return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        if (!writeOnLeave()) {
            // Refused: the user stays here with the text as typed.
            QWidget* w = inputWidget();
            QMetaObject::invokeMethod(w, [w] { w->setFocus(); }, Qt::QueuedConnection);
        }
    }
    return false;
}

} // namespace tegaro
