#pragma once
// A one-line text box with a thin flat border.
#include <QLineEdit>

namespace tegaro {

class FlatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FlatEdit(QWidget* parent = nullptr);
};

} // namespace tegaro
