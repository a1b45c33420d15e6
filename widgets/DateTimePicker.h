#pragma once
// A date picker that holds a full date-time but shows only the date:
// picking a date replaces the date part, the time of day stays.
#include <QDateEdit>

namespace tegaro {

class DateTimePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DateTimePicker(const QDateTime& initial, QWidget* parent = nullptr);
    QDateTime value() const { return value_; }
    void setValue(const QDateTime& value);

private:
    QDateTime value_;
};

} // namespace tegaro
