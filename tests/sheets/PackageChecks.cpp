#include "PackageChecks.h"

#include "Fixtures.h"

#include "sheets/book/WorkbookFile.h"

#include <map>

namespace tegaro::sheets::testing {

const Workbook& detail(const QString& format)
{
    static std::map<QString, Workbook> books;
    auto it = books.find(format);
    if (it == books.end())
        it = books.emplace(format, readWorkbook(fixture(("detail." + format).toLatin1().constData()))).first;
    return it->second;
}

QString valueOf(const Cell* c)
{
    if (!c)
        return {};
    const CellKind kind = c->kind == CellKind::Formula ? c->result : c->kind;
    switch (kind) {
    case CellKind::Number: return QString::number(c->number, 'g', 15);
    case CellKind::Text: return c->text;
    case CellKind::Boolean: return c->number ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellKind::Error: return errorText(int(c->number));
    default: return {};
    }
}

} // namespace tegaro::sheets::testing
