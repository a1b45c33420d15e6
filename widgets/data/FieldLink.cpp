#include "widgets/data/FieldLink.h"

#include "core/ErrorGuard.h"
#include "core/Errors.h"
#include "widgets/UserSeam.h"

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

void FieldLink::recordChanged(int fieldIndex)
{
    if (fieldIndex >= 0 && (!hasField() || source_->dataSet()->fieldIndex(fieldName_) != fieldIndex))
        return;
    filling_ = true;
    if (hasField() && !source_->dataSet()->isEmpty()) {
        const Field f = field();
        showField(&f);
    } else {
        showField(nullptr);
    }
    filling_ = false;
    modified_ = false;
}

void FieldLink::updateData()
{
    if (!modified_ || !hasField())
        return;
    writeField(field()); // throws when it cannot be written
    modified_ = false;
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

void FieldLink::commitUserChange()
{
    modified_ = true;
    updateData();
}

bool FieldLink::writePending()
{
    try {
        updateData();
        return true;
    } catch (...) {
        reportException();
        return false;
    }
}

void TextLink::showField(const Field* field)
{
    setControlText(field ? field->asString() : QString());
}

void TextLink::writeField(Field field)
{
    field.setAsString(controlText());
}

void TextLink::watchInput()
{
    inputWidget()->installEventFilter(this);
}

void TextLink::setTextFromCode(const QString& text)
{
    filling_ = true;
    setControlText(text);
    filling_ = false;
    modified_ = true;
}

void TextLink::userChanged()
{
    if (filling_)
        return;
    // A paste or a drop reaches here without a key: start editing now and
    // keep what the user put in.
    if (hasField()) {
        const DataSetState s = dataSource()->state();
        if (s != DataSetState::Edit && s != DataSetState::Insert) {
            const QString text = controlText();
            if (!dataSource()->edit()) {
                seam().beep();
                recordChanged(-1);
                return;
            }
            filling_ = true;
            setControlText(text);
            filling_ = false;
        }
    }
    modified_ = true;
}

bool TextLink::acceptsCharacter(const QString& text) const
{
    return !hasField() || columnAcceptsCharacters(field().kind(), text);
}

bool TextLink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != inputWidget())
        return false;
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (modified_) {
                recordChanged(-1);
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
        if (!writePending()) {
            // Refused: the user stays here with the text as typed.
            QWidget* w = inputWidget();
            QMetaObject::invokeMethod(
                w, [w] { w->setFocus(); }, Qt::QueuedConnection);
        }
    }
    return false;
}

} // namespace tegaro
