#include "DemoSheet.h"

#include "sheets/calc/Calculator.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/Workbook.h"
#include "sheets/xls/XlsFile.h"

#include <QRandomGenerator>

#include <cmath>

namespace tegaro::demo {

namespace {

using namespace tegaro::sheets;

// Serial day number of a date in the 1900 date system.
double serial(const QDate& date) { return double(QDate(1899, 12, 30).daysTo(date)); }

double round0(double v) { return std::round(v); }

// Builds one workbook: formats are made on first use and shared.
class SheetWriter {
public:
    SheetWriter()
    {
        Font title;
        title.height = 320;
        title.weight = 700;
        titleFont_ = addFont(title);
        Font bold;
        bold.weight = 700;
        boldFont_ = addFont(bold);
        // The cells the transfer reads show plain numbers: the record's
        // number columns take no thousands separators.
        areaCode_ = book_.addNumberFormat(QStringLiteral("0.00"));
        plainScoreCode_ = 1; // built-in "0"
        scoreCode_ = book_.addNumberFormat(QStringLiteral("#,##0"));
        factorCode_ = book_.addNumberFormat(QStringLiteral("0.00"));
        eraCode_ = book_.addNumberFormat(QStringLiteral("[$-411]ggge\"年\"m\"月\"d\"日\""));
    }

    Workbook& book() { return book_; }
    Sheet& sheet() { return *sheet_; }
    void use(Sheet& sheet) { sheet_ = &sheet; }

    enum Look {
        Plain,
        Framed,
        Heading,
        Title
    };
    int format(Look look, int numberCode = 0, quint8 hAlign = 0)
    {
        CellFormat f;
        f.numberFormat = quint16(numberCode);
        f.hAlign = hAlign;
        f.vAlign = 1;
        if (look == Title)
            f.font = quint16(titleFont_);
        if (look == Framed || look == Heading) {
            f.left = f.right = f.top = f.bottom = Border{1, 64};
        }
        if (look == Heading) {
            f.font = quint16(boldFont_);
            f.pattern = 1;
            f.patternColor = 22; // light grey
        }
        return book_.addFormat(f);
    }

    void text(int row, int col, const QString& t, int xf)
    {
        Cell& c = cell(row, col, xf);
        c.kind = CellKind::Text;
        c.text = t;
    }
    void number(int row, int col, double v, int xf)
    {
        Cell& c = cell(row, col, xf);
        c.kind = CellKind::Number;
        c.number = v;
    }
    // Every formula of the demo goes through here. It is compiled once all
    // sheets are there (formulas read the sheets behind), by finish().
    void formula(int row, int col, const QString& source, int xf)
    {
        cell(row, col, xf);
        formulas_.append({int(sheet_ - book_.sheets.data()), row - 1, col - 1, u'=' + source});
    }
    // Compiles the formulas and works out their results as the sheet
    // control would; a formula that does not compile is a fault of the demo
    // and throws EFormulaError.
    Workbook& finish()
    {
        for (const Pending& p : std::as_const(formulas_)) {
            auto compiled = compileFormula(book_, p.sheet, p.text);
            Cell& c = book_.sheets[p.sheet].cellRef(p.row, p.col);
            c.kind = CellKind::Formula;
            c.formula = std::move(compiled);
        }
        formulas_.clear();
        Calculator(book_).recalculateAll();
        return book_;
    }
    void merge(int row, int firstCol, int lastCol) { sheet_->merged << Range{row - 1, row - 1, firstCol - 1, lastCol - 1}; }
    void widths(std::initializer_list<double> characters)
    {
        int col = 0;
        for (double w : characters) {
            ColumnInfo info;
            info.first = info.last = col++;
            info.width = quint16(w * 256);
            sheet_->columns << info;
        }
    }

    int areaCode_ = 0, scoreCode_ = 0, plainScoreCode_ = 0, factorCode_ = 0, eraCode_ = 0;

private:
    int addFont(const Font& f)
    {
        book_.fonts << f;
        return int(book_.fonts.size() - 1);
    }
    Cell& cell(int row, int col, int xf)
    {
        Cell& c = sheet_->cellRef(row - 1, col - 1);
        c.xf = quint16(xf);
        return c;
    }

    struct Pending {
        int sheet, row, col;
        QString text;
    };

    Workbook book_;
    Sheet* sheet_ = &book_.sheets[0];
    QList<Pending> formulas_;
    int titleFont_ = 0, boldFont_ = 0;
};

struct Part {
    const char* name;
    double share; // of the whole score
};
const Part kParts[] = {
    {"主体構造部", 0.22},
    {"基礎", 0.07},
    {"外周壁骨組", 0.06},
    {"間仕切骨組", 0.05},
    {"外部仕上", 0.10},
    {"内部仕上", 0.09},
    {"床仕上", 0.07},
    {"天井仕上", 0.05},
    {"屋根仕上", 0.08},
    {"建具", 0.10},
    {"建築設備", 0.08},
    {"仮設工事", 0.03},
};

void writeFactors(SheetWriter& w, const QList<double>& factors)
{
    w.use(w.book().addSheet(QStringLiteral("補正係数")));
    w.widths({3, 16, 12, 30});
    const int title = w.format(SheetWriter::Title, 0, 2);
    w.text(1, 2, QStringLiteral("部分別補正係数"), title);
    w.merge(1, 2, 4);
    const int head = w.format(SheetWriter::Heading, 0, 2);
    w.text(3, 2, QStringLiteral("部分別"), head);
    w.text(3, 3, QStringLiteral("補正係数"), head);
    w.text(3, 4, QStringLiteral("適用"), head);
    const int framed = w.format(SheetWriter::Framed);
    const int factor = w.format(SheetWriter::Framed, w.factorCode_);
    for (int i = 0; i < factors.size(); ++i) {
        w.text(4 + i, 2, QString::fromUtf8(kParts[i].name), framed);
        w.number(4 + i, 3, factors[i], factor);
        w.text(4 + i, 4, factors[i] < 1 ? QStringLiteral("程度 減") : factors[i] > 1 ? QStringLiteral("程度 増")
                                                                                     : QStringLiteral("標準"),
               framed);
    }
}

void writeNotes(SheetWriter& w, const SheetFacts& facts)
{
    w.use(w.book().addSheet(QStringLiteral("付記")));
    w.widths({3, 14, 40});
    const int title = w.format(SheetWriter::Title);
    w.text(1, 2, QStringLiteral("調査メモ"), title);
    const int plain = w.format(SheetWriter::Plain);
    w.text(3, 2, QStringLiteral("所在"), plain);
    w.text(3, 3, facts.address, plain);
    w.text(4, 2, QStringLiteral("調査日"), plain);
    w.number(4, 3, serial(facts.surveyed), w.format(SheetWriter::Plain, w.eraCode_, 1));
    w.text(5, 2, QStringLiteral("備考"), plain);
    w.text(5, 3, QStringLiteral("屋根・外壁とも現地確認済み"), plain);
}

} // namespace

DemoSheet makeDemoSheet(const SheetFacts& facts, QRandomGenerator& random)
{
    SheetWriter w;
    Sheet& main = w.sheet();
    main.name = QStringLiteral("評点計算");
    w.widths({3, 13, 11, 9, 11, 12, 7, 3, 10, 10, 10, 10});
    // Headings off, as the sheet is shown in the window.
    main.view.options = quint16(main.view.options & ~SheetView::kHeadings);

    RowInfo titleRow;
    titleRow.height = 480; // room for the 16-point title
    titleRow.options |= RowInfo::kCustomHeight;
    main.rows[0] = titleRow;
    w.text(1, 1, QStringLiteral("木造家屋再建築費評点数計算書"), w.format(SheetWriter::Title, 0, 2));
    w.merge(1, 1, 12);
    w.text(2, 9, QStringLiteral("調査日"), w.format(SheetWriter::Plain, 0, 3));
    w.number(2, 10, serial(facts.surveyed), w.format(SheetWriter::Plain, w.eraCode_, 1));
    w.merge(2, 10, 12);

    const int head = w.format(SheetWriter::Heading, 0, 2);
    const int framed = w.format(SheetWriter::Framed);
    const int area = w.format(SheetWriter::Framed, w.areaCode_);
    const int score = w.format(SheetWriter::Framed, w.scoreCode_);
    const int factor = w.format(SheetWriter::Framed, w.factorCode_);
    w.text(4, 3, QStringLiteral("所有者"), head);
    w.text(4, 4, facts.owner, framed);
    w.merge(4, 4, 6);
    for (int col = 5; col <= 6; ++col)
        w.text(4, col, QString(), framed);

    // Row 6: score, use mark and the areas where the transfer reads them.
    const int firstArea = facts.mixedUse ? 9 : 10;
    const QString a = columnName(firstArea - 1), b = columnName(firstArea);
    w.text(5, 5, QStringLiteral("評点数/㎡"), head);
    w.text(5, 7, QStringLiteral("用途"), head);
    w.text(5, firstArea, QStringLiteral("１階"), head);
    w.text(5, firstArea + 1, QStringLiteral("２階"), head);
    w.text(5, firstArea + 2, QStringLiteral("延床面積"), head);
    if (facts.mixedUse)
        w.text(6, 7, QStringLiteral("併用"), framed);
    w.number(6, firstArea, facts.floor1, area);
    w.number(6, firstArea + 1, facts.floor2, area);
    w.formula(6, firstArea + 2, QStringLiteral("%1%3+%2%3").arg(a, b, QStringLiteral("6")), area);

    // The parts' table: standard score x factor x area.
    const int top = 8;
    const char* const headings[] = {"部分別", "標準評点数", "補正係数", "面積(㎡)", "評点数"};
    for (int i = 0; i < 5; ++i)
        w.text(top, 2 + i, QString::fromUtf8(headings[i]), head);
    QList<double> factors;
    const QString totalCell = QStringLiteral("$%1$6").arg(columnName(firstArea + 1));
    int row = top + 1;
    for (const Part& p : kParts) {
        const double f = (90 + random.bounded(21)) / 100.0;
        factors << f;
        const double standard = round0(facts.targetScore * p.share / f);
        w.text(row, 2, QString::fromUtf8(p.name), framed);
        w.number(row, 3, standard, score);
        w.formula(row, 4, QStringLiteral("補正係数!C%1").arg(row - top + 3), factor);
        w.formula(row, 5, totalCell, area);
        w.formula(row, 6, QStringLiteral("ROUND(C%1*D%1*E%1,0)").arg(row), score);
        ++row;
    }
    w.text(row, 2, QStringLiteral("合計"), head);
    for (int col = 3; col <= 5; ++col)
        w.text(row, col, QString(), framed);
    w.formula(row, 6, QStringLiteral("SUM(F%1:F%2)").arg(top + 1).arg(row - 1), score);
    w.formula(6, 5, QStringLiteral("ROUND(F%1/%2,0)").arg(row).arg(totalCell), w.format(SheetWriter::Framed, w.plainScoreCode_));

    writeFactors(w, factors);
    writeNotes(w, facts);
    const Workbook& book = w.finish();
    const Cell* perArea = book.sheets[0].cell(5, 4); // E6
    return {writeXls(book), perArea && perArea->result == CellKind::Number ? perArea->number : 0};
}

} // namespace tegaro::demo
