// A Program as the text an edit bar shows: Excel's spelling of operators,
// references, sheet names and constants.
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/FormulaFunctions.h"
#include "sheets/formula/FormulaNames.h"

namespace tegaro::sheets {

namespace {

QString columnLetters(int col)
{
    QString letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

QString corner(int row, int col, bool rowRel, bool colRel)
{
    return (colRel ? QString() : QStringLiteral("$")) + columnLetters(col) + (rowRel ? QString() : QStringLiteral("$"))
        + QString::number(row + 1);
}

QString quotedString(const QString& s)
{
    return u'"' + QString(s).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString constantText(const Value& v)
{
    switch (v.kind) {
    case Value::Number: return numberToText(v.number);
    case Value::Text: return quotedString(v.text);
    case Value::Boolean: return v.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Value::Error: return errorText(v.errorCode());
    default: return {};
    }
}

class Printer {
public:
    Printer(const Program& p, const Workbook& book, int sheet) : p_(p), book_(book), sheet_(sheet) {}
    QString text(int i) const;

private:
    QString ref(const RefOperand& r) const;
    QString sheetPrefix(const RefOperand& r) const;
    QString function(int i, const Node& n) const;
    QString nameText(int index) const;

    const Program& p_;
    const Workbook& book_;
    int sheet_;
};

QString Printer::sheetPrefix(const RefOperand& r) const
{
    if (!r.threeD)
        return {};
    if (r.external)
        return externSheetPrefix(book_, r.ixti);
    if (r.deleted && (r.firstSheet < 0 || r.firstSheet >= book_.sheets.size()))
        return {};
    auto name = [&](int s) { return s >= 0 && s < book_.sheets.size() ? book_.sheets[s].name : QString(); };
    return quotedSheetRange(name(r.firstSheet), r.lastSheet != r.firstSheet ? name(r.lastSheet) : QString()) + u'!';
}

QString Printer::ref(const RefOperand& r) const
{
    const QString prefix = sheetPrefix(r);
    if (r.deleted)
        return prefix + QStringLiteral("#REF!");
    if (r.area && r.wholeColumns())
        return prefix + (r.firstColRel ? QString() : QStringLiteral("$")) + columnLetters(r.firstCol) + u':'
            + (r.lastColRel ? QString() : QStringLiteral("$")) + columnLetters(r.lastCol);
    if (r.area && r.wholeRows())
        return prefix + (r.firstRowRel ? QString() : QStringLiteral("$")) + QString::number(r.firstRow + 1) + u':'
            + (r.lastRowRel ? QString() : QStringLiteral("$")) + QString::number(r.lastRow + 1);
    QString out = prefix + corner(r.firstRow, r.firstCol, r.firstRowRel, r.firstColRel);
    if (r.area)
        out += u':' + corner(r.lastRow, r.lastCol, r.lastRowRel, r.lastColRel);
    return out;
}

QString Printer::nameText(int index) const
{
    if (index < 1 || index > book_.names.size())
        return QStringLiteral("#NAME?");
    const DefinedName& n = book_.names[index - 1];
    QString shown = definedNameText(n);
    if (n.sheet >= 1 && n.sheet - 1 != sheet_ && n.sheet <= book_.sheets.size())
        shown = quotedSheetName(book_.sheets[n.sheet - 1].name) + u'!' + shown;
    return shown;
}

QString Printer::function(int i, const Node& n) const
{
    int args[256];
    p_.children(i, args);
    int first = 0;
    QString name;
    if (n.index == kUserFunction && n.argc > 0) {
        // the first operand names the function
        const Node& callee = p_.nodes[size_t(args[0])];
        name = callee.op == Op::Name ? nameText(callee.index) : text(args[0]);
        if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive))
            name = name.mid(6);
        first = 1;
    } else if (const FunctionInfo* f = functionByIndex(n.index)) {
        name = QString::fromLatin1(f->name);
    } else {
        name = QStringLiteral("#NAME?");
    }
    QString out = name + u'(';
    for (int a = first; a < n.argc; ++a) {
        if (a > first)
            out += u',';
        out += text(args[a]);
    }
    return out + u')';
}

QString Printer::text(int i) const
{
    const Node& n = p_.nodes[size_t(i)];
    static const char* const kBinary[] = {"+", "-", "*", "/", "^", "&", "<", "<=", "=", ">=", ">", "<>", " ", ",", ":"};
    if (n.op >= Op::Add && n.op <= Op::Range) {
        int args[2];
        p_.children(i, args);
        return text(args[0]) + QLatin1String(kBinary[int(n.op) - int(Op::Add)]) + text(args[1]);
    }
    switch (n.op) {
    case Op::Number: return numberToText(n.number);
    case Op::String: return quotedString(p_.strings[size_t(n.index)]);
    case Op::Boolean: return n.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Op::ErrorConst: return errorText(n.index);
    case Op::Missing: return {};
    case Op::Ref: return ref(p_.refs[size_t(n.index)]);
    case Op::Name: return nameText(n.index);
    case Op::ExternName: return externNameText(book_, int(n.number), n.index);
    case Op::ArrayConst: {
        const Matrix& m = *p_.arrays[size_t(n.index)];
        QString out = QStringLiteral("{");
        for (int r = 0; r < m.rows; ++r) {
            if (r > 0)
                out += u';';
            for (int c = 0; c < m.cols; ++c) {
                if (c > 0)
                    out += u',';
                out += constantText(m.at(r, c));
            }
        }
        return out + u'}';
    }
    case Op::Plus: return u'+' + text(i - 1);
    case Op::Minus: return u'-' + text(i - 1);
    case Op::Percent: return text(i - 1) + u'%';
    case Op::Paren: return u'(' + text(i - 1) + u')';
    case Op::Function: return function(i, n);
    default: return {};
    }
}

} // namespace

QString programText(const Program& p, const Workbook& book, int sheet)
{
    if (p.empty())
        return {};
    return Printer(p, book, sheet).text(p.root());
}

} // namespace tegaro::sheets
