#include "widgets/DateTimePicker.h"

namespace tegaro {

DateTimePicker::DateTimePicker(const QDateTime& initial, QWidget* parent)
    : QDateEdit(initial.date(), parent), value_(initial)
{
    setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    setCalendarPopup(true);
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate& d) { value_.setDate(d); });
}

void DateTimePicker::setValue(const QDateTime& value)
{
    value_ = value;
    setDate(value.date());
}

} // namespace tegaro
