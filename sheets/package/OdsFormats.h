#pragma once
// OpenDocument data styles (how a cell shows its number, date or time) and
// the Excel number format codes they become.
#include <QString>

#include <map>
#include <vector>

namespace tegaro::sheets::ods {

// One element of a data style: a number, a date field, a piece of text.
struct DataPart {
    QString name;                     // local name in the number namespace
    std::map<QString, QString> attrs; // local names of number: attributes
    QString text;
    QString attr(const char* n) const
    {
        auto it = attrs.find(QLatin1String(n));
        return it == attrs.end() ? QString() : it->second;
    }
    bool has(const char* n) const { return attrs.count(QLatin1String(n)); }
};

struct DataStyle {
    QString kind; // number-style, date-style ...
    bool gengou = false;
    bool elapsed = false; // hours counted past a day
    bool japanese = false;
    QString color;
    std::vector<DataPart> parts;
    std::vector<std::pair<QString, QString>> maps; // condition, style applied
};

using DataStyles = std::map<QString, DataStyle>;

// The Excel code of data style `name`, its conditions as sections; empty
// when it is not there or has no Excel counterpart.
QString excelCode(const DataStyles& styles, const QString& name);

} // namespace tegaro::sheets::ods
