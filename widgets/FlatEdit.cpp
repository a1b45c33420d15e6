#include "widgets/FlatEdit.h"

namespace tegaro {

FlatEdit::FlatEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #9a9a9a; background: white; padding: 0 2px; }"));
}

} // namespace tegaro
