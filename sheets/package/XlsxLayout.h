#pragma once
// The one way the .xlsx reader finds its parts: the workbook at
// xl/workbook.xml under the content type of a plain workbook, relationships
// in the transitional namespaces with targets relative to their part, and
// part names spelt as the relationships spell them. Packages written
// otherwise (macro workbooks, Strict Open XML, absolute targets, the
// workbook in another place, names in other capitals) are laid out that
// way before it reads them.
#include <QByteArray>
#include <QList>

#include <functional>
#include <map>

namespace tegaro::sheets {

using PartText = std::function<QByteArray(const QByteArray& name)>;

struct XlsxLayout {
    bool workbook = false;                     // the package holds a workbook
    bool macros = false;                       // of a macro-enabled workbook
    std::map<QByteArray, QByteArray> renamed;  // name in the file -> name for the reader
    std::map<QByteArray, QByteArray> replaced; // name for the reader -> new text
};

// Looks at the package's relationships and content types; `workbook` is
// false when no part of it is a workbook.
XlsxLayout xlsxLayout(const QList<QByteArray>& names, const PartText& text);

// A part of Strict Open XML in the namespaces of the transitional form,
// which the reader knows; other parts come back as they are.
QByteArray transitionalNamespaces(const QByteArray& xml);

} // namespace tegaro::sheets
