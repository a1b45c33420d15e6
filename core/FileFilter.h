#pragma once
#include <QString>
#include <QStringList>

namespace tegaro {

// Turns a filter in the "Label|*.a;*.b|Label|*" form into Qt's name filters
// ("Label (*.a *.b)").
QStringList qtNameFilters(const QString& filter);

} // namespace tegaro
