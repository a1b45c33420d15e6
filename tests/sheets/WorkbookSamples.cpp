#include "WorkbookSamples.h"

#include "sheets/biff/ByteWriter.h"

namespace tegaro::sheets::testing {

QByteArray sumTokens()
{
    ByteWriter b;
    b.u8(0x24).u16(0).u16(0xC000); // A1, row and column relative
    b.u8(0x24).u16(0).u16(0xC001); // B1
    b.u8(0x03);                    // +
    return b.data;
}

Workbook sampleWorkbook()
{
    Workbook book;
    Font bold;
    bold.weight = 700;
    bold.height = 280;
    bold.color = 10;
    book.fonts << bold; // index 4
    CellFormat area;
    area.numberFormat = quint16(book.addNumberFormat(QStringLiteral("0.00\"㎡\"")));
    area.left.style = area.right.style = area.top.style = area.bottom.style = 1;
    area.pattern = 1;
    area.patternColor = 13;
    const int areaXf = book.addFormat(area);
    CellFormat score;
    score.numberFormat = 3;
    score.font = 4;
    score.hAlign = 3;
    const int scoreXf = book.addFormat(score);
    CellFormat era;
    era.numberFormat = 28;
    const int eraXf = book.addFormat(era);
    book.palette = QList<QRgb>(56, qRgb(1, 2, 3));
    book.palette[5] = qRgb(200, 100, 50);

    Sheet& s = book.sheets[0];
    s.name = QStringLiteral("評点明細");
    auto set = [&](int r, int c, CellKind kind, double v, const QString& t, int xf) {
        Cell& cell = s.cellRef(r, c);
        cell.kind = kind;
        cell.number = v;
        cell.text = t;
        cell.xf = quint16(xf);
        return &cell;
    };
    set(0, 0, CellKind::Number, 85.5, {}, areaXf);
    set(0, 1, CellKind::Number, 42.125, {}, areaXf);
    Cell* sum = set(0, 2, CellKind::Formula, 127.625, {}, areaXf);
    sum->result = CellKind::Number;
    auto f = std::make_shared<Formula>();
    f->tokens = sumTokens();
    sum->formula = f;
    Cell* textFormula = set(0, 3, CellKind::Formula, 0, QStringLiteral("計算済み"), 15);
    textFormula->result = CellKind::Text;
    auto f2 = std::make_shared<Formula>();
    f2->tokens = QByteArray::fromHex("1702006162"); // ="ab"
    f2->options = 0x0002;
    textFormula->formula = f2;
    set(3, 3, CellKind::Text, 0, QStringLiteral("山田　太郎①㈱～"), 15);
    Cell* rich = set(3, 4, CellKind::Text, 0, QStringLiteral("家屋評価"), 15);
    rich->runs = {{0, 4}, {2, 0}};
    set(5, 4, CellKind::Number, 1234567, {}, scoreXf);
    set(5, 6, CellKind::Text, 0, QStringLiteral(" "), 15);
    set(6, 0, CellKind::Number, 43586, {}, eraXf);
    set(6, 1, CellKind::Boolean, 1, {}, 15);
    set(6, 2, CellKind::Error, 0x07, {}, 15);
    set(6, 3, CellKind::Empty, 0, {}, areaXf);
    set(7, 0, CellKind::Number, -0.5, {}, 15);      // an RK with hundredths
    set(7, 1, CellKind::Number, 1e300, {}, 15);     // a NUMBER record
    set(7, 2, CellKind::Number, 123456789, {}, 15); // a big integer
    set(65535, 255, CellKind::Text, 0, QStringLiteral("端"), 15);
    s.columns << ColumnInfo{0, 0, 4000, 15, 0} << ColumnInfo{5, 7, 1200, 15, 0x01};
    s.rows[2] = RowInfo{600, 0x140 | (15u << 16)};
    s.rows[4] = RowInfo{255, 0x120 | (15u << 16)};
    s.merged << Range{5, 5, 7, 9} << Range{10, 12, 0, 1};
    s.view.zoom = 85;
    s.view.topRow = 2;
    s.view.activeRow = 5;
    s.view.activeCol = 4;
    s.page.setLandscape(true);
    s.page.scale = 80;
    s.page.leftMargin = 0.75;
    s.page.topMargin = 1.0;
    s.page.header = QStringLiteral("&C家屋明細");
    s.page.footer = QStringLiteral("&P / &N");
    s.page.hCenter = true;
    s.page.printArea = {Range{0, 40, 0, 11}};
    s.page.rowBreaks = {20, 40};
    s.page.columnBreaks = {6};
    s.protection = QByteArray::fromHex("120002000100"); // the sheet is protected
    s.defaultColumnWidth = 9;

    Sheet& second = book.addSheet(QStringLiteral("集計"));
    second.cellRef(0, 0).kind = CellKind::Text;
    second.cellRef(0, 0).text = QStringLiteral("二枚目");
    second.page.printArea = {Range{0, 1, 0, 1}, Range{4, 5, 2, 3}};
    book.activeSheet = 1;
    return book;
}

} // namespace tegaro::sheets::testing
