#include "BigPackages.h"

#include "sheets/PackageSamples.h"

#include <QString>

namespace tegaro::sheets::testing {

// 10,000 rows of ten cells: four numbers, three texts, three formulas.
QByteArray bigXlsx()
{
    QByteArray rows;
    for (int r = 1; r <= 10000; ++r) {
        const QByteArray n = QByteArray::number(r);
        rows += "<row r=\"" + n + "\">";
        for (char c = 'A'; c <= 'D'; ++c)
            rows += QByteArray("<c r=\"") + c + n + "\" s=\"1\"><v>" + QByteArray::number(r * 1.25 + (c - 'A')) + "</v></c>";
        for (char c = 'E'; c <= 'G'; ++c)
            rows += QByteArray("<c r=\"") + c + n + "\" t=\"s\"><v>" + QByteArray::number((r % 500) * 3 + (c - 'E')) + "</v></c>";
        for (char c = 'H'; c <= 'J'; ++c)
            rows += QByteArray("<c r=\"") + c + n + "\"><f>" + char(c - 7) + n + "*2</f><v>"
                + QByteArray::number((r * 1.25 + (c - 'H')) * 2) + "</v></c>";
        rows += "</row>";
    }
    QByteArray strings;
    for (int i = 0; i < 500; ++i)
        for (int c = 4; c < 7; ++c)
            strings += "<si><t>家屋" + QByteArray::number(i) + '-' + QByteArray::number(c) + "</t></si>";
    const QByteArray styles =
        "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.00\"/></numFmts>"
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"ＭＳ Ｐゴシック\"/></font></fonts>"
        "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\"/><xf numFmtId=\"164\" fontId=\"0\" applyNumberFormat=\"1\"/></cellXfs>";
    return xlsxPackage({workbookPart({QStringLiteral("明細")}), worksheetPart("<sheetData>" + rows + "</sheetData>"), {}, sharedStringsPart(strings), stylesPart(styles)},
                       true);
}

QByteArray bigOds()
{
    QByteArray rows;
    for (int r = 1; r <= 10000; ++r) {
        rows += "<table:table-row>";
        for (int c = 0; c < 4; ++c) {
            const QByteArray v = QByteArray::number(r * 1.25 + c);
            rows += "<table:table-cell office:value-type=\"float\" office:value=\"" + v + "\"><text:p>" + v + "</text:p></table:table-cell>";
        }
        for (int c = 4; c < 7; ++c)
            rows += "<table:table-cell office:value-type=\"string\"><text:p>家屋" + QByteArray::number(r % 500) + '-'
                + QByteArray::number(c) + "</text:p></table:table-cell>";
        for (int c = 7; c < 10; ++c) {
            const QByteArray v = QByteArray::number((r * 1.25 + c - 7) * 2);
            rows += "<table:table-cell table:formula=\"of:=[." + QByteArray(1, char('A' + c - 7)) + QByteArray::number(r)
                + "]*2\" office:value-type=\"float\" office:value=\"" + v + "\"><text:p>" + v + "</text:p></table:table-cell>";
        }
        rows += "</table:table-row>";
    }
    return odsPackage(odsContent("<table:table table:name=\"明細\">" + rows + "</table:table>"), {}, true);
}

} // namespace tegaro::sheets::testing
