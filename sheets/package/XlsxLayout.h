#pragma once
// How an .xlsx package is laid out: where its workbook part is, found from
// the package's relationships and content types as Excel finds it, whatever
// the writer named it (macro workbooks, Strict Open XML, the workbook in
// another place, names in other capitals).
#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>

namespace tegaro::sheets {

using PartText = std::function<QByteArray(const QByteArray& name)>;

struct XlsxLayout {
    bool workbook = false;   // the package holds a workbook
    bool macros = false;     // of a macro-enabled workbook
    QByteArray workbookPart; // as the package spells it
};

// Looks at the package's relationships and content types; `workbook` is
// false when no part of it is a workbook.
XlsxLayout xlsxLayout(const QList<QByteArray>& names, const PartText& text);

// A relationship's target as a part name: from the top when it starts
// with "/", else beside the part `from`, with "." and ".." worked out.
QByteArray resolveTarget(const QByteArray& from, const QByteArray& target);

// The relationships part of `part`: "xl/_rels/workbook.xml.rels".
QByteArray relationsOf(const QByteArray& part);

// Part names as the package spells them, found whatever their capitals.
class PartNames {
public:
    explicit PartNames(const QList<QByteArray>& names);
    // `name` as the package spells it; `name` itself when there is none.
    QByteArray actual(const QByteArray& name) const { return byLower_.value(name.toLower(), name); }
    bool contains(const QByteArray& name) const { return byLower_.contains(name.toLower()); }

private:
    QHash<QByteArray, QByteArray> byLower_;
};

} // namespace tegaro::sheets
