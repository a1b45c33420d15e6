// Typed formula text into a Program: a recursive-descent parser with
// Excel's precedence, from loosest to tightest: comparisons, &, + -, * /,
// ^, unary minus and plus, %, and the reference operators , (union, only
// inside parentheses), space (intersection) and :.
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/FormulaFunctions.h"
#include "sheets/formula/FormulaNames.h"
#include "sheets/model/SheetErrors.h"

namespace tegaro::sheets {

namespace {

enum class Tok {
    End,
    Number,
    String,
    Error,
    Word,
    Ref,
    Sheet,
    Op,
    Open,
    Close,
    Comma,
    Semicolon,
    BraceOpen,
    BraceClose
};

struct Token {
    Tok kind = Tok::End;
    QString text; // operator spelling, word, string value, error text
    double number = 0;
    RefOperand ref; // Tok::Ref, with its sheets when a prefix came with it
    QString raw;    // as typed
    int pos = 0;    // where it starts in the typed text
    bool spaceBefore = false;
};

[[noreturn]] void fault(int pos, const QString& what)
{
    throw EFormulaError(QStringLiteral("数式の %1 文字目: %2").arg(pos + 1).arg(what), pos);
}

const QString kErrorTexts[] = {
    QStringLiteral("#NULL!"),
    QStringLiteral("#DIV/0!"),
    QStringLiteral("#VALUE!"),
    QStringLiteral("#REF!"),
    QStringLiteral("#NAME?"),
    QStringLiteral("#NUM!"),
    QStringLiteral("#N/A"),
};
constexpr int kErrorCodes[] = {err::Null, err::Div0, err::Value, err::Ref, err::Name, err::Num, err::NA};

int columnNumber(const QString& letters)
{
    int col = 0;
    for (QChar c : letters)
        col = col * 26 + (c.toUpper().unicode() - u'A' + 1);
    return col - 1;
}

class Lexer {
public:
    Lexer(const QString& text, const Workbook& book) : s_(text), book_(book) {}
    std::vector<Token> run();

private:
    [[noreturn]] void fail(int pos, const QString& what) const;
    bool reference(Token& t);
    bool sheetPrefix(Token& t);

    // Scanners of the text from `at`, each returning where what it reads
    // ends (the same place when there is none of it).
    int asciiLetters(int at) const;
    int digits(int at) const;
    int dollar(int at) const { return at < s_.size() && s_[at] == u'$' ? at + 1 : at; }
    int nameRun(int at) const; // letters, digits, "_" and "."
    int numberEnd(int at) const;
    int wordEnd(int at) const;
    // Whether a reference may end here: no word character, ".", "(" or "!" follows.
    bool referenceEnds(int at) const;
    // The character of the text at `at`, surrogate pairs as one, and its length.
    char32_t codeAt(int at, int* length) const;

    const QString& s_;
    const Workbook& book_;
    int i_ = 0;
};

void Lexer::fail(int pos, const QString& what) const
{
    fault(pos, what);
}

char32_t Lexer::codeAt(int at, int* length) const
{
    const QChar c = s_[at];
    if (c.isHighSurrogate() && at + 1 < s_.size() && s_[at + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, s_[at + 1]);
    }
    *length = 1;
    return c.unicode();
}

int Lexer::asciiLetters(int at) const
{
    while (at < s_.size() && ((s_[at] >= u'A' && s_[at] <= u'Z') || (s_[at] >= u'a' && s_[at] <= u'z')))
        ++at;
    return at;
}

int Lexer::digits(int at) const
{
    while (at < s_.size() && s_[at] >= u'0' && s_[at] <= u'9')
        ++at;
    return at;
}

int Lexer::nameRun(int at) const
{
    while (at < s_.size()) {
        int length = 0;
        const char32_t c = codeAt(at, &length);
        if (!(QChar::isLetterOrNumber(c) || c == u'_' || c == u'.'))
            break;
        at += length;
    }
    return at;
}

int Lexer::numberEnd(int at) const
{
    int end = digits(at);
    if (end > at) {
        if (end < s_.size() && s_[end] == u'.')
            end = digits(end + 1);
    } else if (at < s_.size() && s_[at] == u'.' && digits(at + 1) > at + 1) {
        end = digits(at + 1);
    } else {
        return at;
    }
    if (end < s_.size() && (s_[end] == u'e' || s_[end] == u'E')) {
        int exponent = end + 1;
        if (exponent < s_.size() && (s_[exponent] == u'+' || s_[exponent] == u'-'))
            ++exponent;
        if (digits(exponent) > exponent)
            end = digits(exponent);
    }
    return end;
}

int Lexer::wordEnd(int at) const
{
    int length = 0;
    if (at >= s_.size())
        return at;
    const char32_t first = codeAt(at, &length);
    if (!(QChar::isLetter(first) || first == u'_' || first == u'\\'))
        return at;
    at += length;
    while (at < s_.size()) {
        const char32_t c = codeAt(at, &length);
        if (!(QChar::isLetterOrNumber(c) || c == u'_' || c == u'.' || c == u'\\' || c == u'?'))
            break;
        at += length;
    }
    return at;
}

bool Lexer::referenceEnds(int at) const
{
    if (at >= s_.size())
        return true;
    const QChar c = s_[at];
    const bool word = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
    return !word && c != u'.' && c != u'(' && c != u'!';
}

// A sheet name and "!" before a reference; sets the token's sheets.
bool Lexer::sheetPrefix(Token& t)
{
    QString names;
    int end = i_;
    if (i_ < s_.size() && s_[i_] == u'\'') {
        // quoted, a quote in it doubled
        int at = i_ + 1;
        while (true) {
            if (at >= s_.size())
                return false;
            if (s_[at] == u'\'') {
                if (at + 1 < s_.size() && s_[at + 1] == u'\'') {
                    names += u'\'';
                    at += 2;
                    continue;
                }
                break;
            }
            names += s_[at++];
        }
        if (names.isEmpty() || at + 1 >= s_.size() || s_[at + 1] != u'!')
            return false;
        end = at + 2;
    } else {
        int last = nameRun(i_);
        if (last == i_)
            return false;
        if (last < s_.size() && s_[last] == u':') {
            const int second = nameRun(last + 1);
            if (second > last + 1)
                last = second;
        }
        if (last >= s_.size() || s_[last] != u'!')
            return false;
        names = s_.mid(i_, last - i_);
        end = last + 1;
    }
    if (names.startsWith(u'['))
        fail(i_, QStringLiteral("ほかのブックへの参照は使えません。"));
    auto find = [&](const QString& name) {
        for (int k = 0; k < book_.sheets.size(); ++k)
            if (book_.sheets[k].name.compare(name, Qt::CaseInsensitive) == 0)
                return k;
        fail(i_, QStringLiteral("シート「%1」はありません。").arg(name));
    };
    const qsizetype colon = names.indexOf(u':');
    t.ref.threeD = true;
    t.ref.firstSheet = find(colon < 0 ? names : names.left(colon));
    t.ref.lastSheet = colon < 0 ? t.ref.firstSheet : find(names.mid(colon + 1));
    if (t.ref.lastSheet < t.ref.firstSheet)
        std::swap(t.ref.firstSheet, t.ref.lastSheet);
    i_ = end;
    return true;
}

// A cell, an area of whole columns or rows, or #REF!, at the current place.
bool Lexer::reference(Token& t)
{
    RefOperand& r = t.ref;
    if (QStringView(s_).mid(i_, 5).compare(QLatin1String("#REF!"), Qt::CaseInsensitive) == 0 && r.threeD) {
        r.deleted = true;
        i_ += 5;
        return true;
    }
    // "$A$1", "A:C", "1:3", each part's "$" making it absolute
    const int firstDollar = i_, firstStart = dollar(firstDollar);
    const int lettersEnd = asciiLetters(firstStart);
    const int letters = lettersEnd - firstStart;
    if (letters >= 1 && letters <= 3) {
        const int rowStart = dollar(lettersEnd), rowEnd = digits(rowStart);
        if (rowEnd - rowStart >= 1 && rowEnd - rowStart <= 5 && referenceEnds(rowEnd)) {
            const int col = columnNumber(QStringView(s_).mid(firstStart, letters).toString());
            const int row = QStringView(s_).mid(rowStart, rowEnd - rowStart).toInt() - 1;
            if (col < kMaxColumns && row >= 0 && row < kMaxRows) {
                r.firstCol = r.lastCol = col;
                r.firstRow = r.lastRow = row;
                r.firstColRel = r.lastColRel = firstStart == firstDollar;
                r.firstRowRel = r.lastRowRel = rowStart == lettersEnd;
                i_ = rowEnd;
                return true;
            }
        }
        if (lettersEnd < s_.size() && s_[lettersEnd] == u':') {
            const int secondStart = dollar(lettersEnd + 1), secondEnd = asciiLetters(secondStart);
            if (secondEnd - secondStart >= 1 && secondEnd - secondStart <= 3 && referenceEnds(secondEnd)) {
                const int a = columnNumber(QStringView(s_).mid(firstStart, letters).toString());
                const int b = columnNumber(QStringView(s_).mid(secondStart, secondEnd - secondStart).toString());
                if (a < kMaxColumns && b < kMaxColumns) {
                    r.area = true;
                    r.firstCol = std::min(a, b);
                    r.lastCol = std::max(a, b);
                    r.firstRow = 0;
                    r.lastRow = kMaxRows - 1;
                    r.firstColRel = firstStart == firstDollar;
                    r.lastColRel = secondStart == lettersEnd + 1;
                    r.firstRowRel = r.lastRowRel = true;
                    i_ = secondEnd;
                    return true;
                }
            }
        }
        return false;
    }
    const int digitsEnd = digits(firstStart);
    if (digitsEnd - firstStart >= 1 && digitsEnd - firstStart <= 5 && digitsEnd < s_.size() && s_[digitsEnd] == u':') {
        const int secondStart = dollar(digitsEnd + 1), secondEnd = digits(secondStart);
        if (secondEnd - secondStart >= 1 && secondEnd - secondStart <= 5 && referenceEnds(secondEnd)) {
            const int a = QStringView(s_).mid(firstStart, digitsEnd - firstStart).toInt() - 1;
            const int b = QStringView(s_).mid(secondStart, secondEnd - secondStart).toInt() - 1;
            if (a >= 0 && b >= 0 && a < kMaxRows && b < kMaxRows) {
                r.area = true;
                r.firstRow = std::min(a, b);
                r.lastRow = std::max(a, b);
                r.firstCol = 0;
                r.lastCol = kMaxColumns - 1;
                r.firstRowRel = firstStart == firstDollar;
                r.lastRowRel = secondStart == digitsEnd + 1;
                r.firstColRel = r.lastColRel = true;
                i_ = secondEnd;
                return true;
            }
        }
    }
    return false;
}

std::vector<Token> Lexer::run()
{
    std::vector<Token> out;
    bool space = false;
    while (i_ < s_.size()) {
        const QChar c = s_[i_];
        if (c.isSpace()) {
            space = true;
            ++i_;
            continue;
        }
        Token t;
        t.pos = i_;
        t.spaceBefore = space;
        space = false;
        const int start = i_;
        if (c == u'"') {
            QString value;
            for (++i_;; ++i_) {
                if (i_ >= s_.size())
                    fail(start, QStringLiteral("文字列の「\"」が閉じていません。"));
                if (s_[i_] == u'"') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == u'"') {
                        value += u'"';
                        ++i_;
                        continue;
                    }
                    ++i_;
                    break;
                }
                value += s_[i_];
            }
            t.kind = Tok::String;
            t.text = value;
        } else if (c == u'#') {
            bool found = false;
            for (int k = 0; k < int(std::size(kErrorTexts)) && !found; ++k) {
                if (s_.mid(i_, kErrorTexts[k].size()).compare(kErrorTexts[k], Qt::CaseInsensitive) == 0) {
                    t.kind = Tok::Error;
                    t.number = kErrorCodes[k];
                    i_ += int(kErrorTexts[k].size());
                    found = true;
                }
            }
            if (!found)
                fail(start, QStringLiteral("「#」で始まるエラー値が正しくありません。"));
        } else if (sheetPrefix(t)) {
            if (!reference(t))
                fail(i_, QStringLiteral("シート名の後にセル参照がありません。"));
            t.kind = Tok::Ref;
        } else if (reference(t)) {
            t.kind = Tok::Ref;
        } else if (const int end = numberEnd(i_); end > i_) {
            t.kind = Tok::Number;
            t.number = QStringView(s_).mid(i_, end - i_).toDouble();
            i_ = end;
            if (!std::isfinite(t.number))
                fail(start, QStringLiteral("数値が大きすぎます。"));
        } else if (const int end = wordEnd(i_); end > i_) {
            t.kind = Tok::Word;
            t.text = s_.mid(i_, end - i_);
            i_ = end;
        } else {
            static const QString twoChar[] = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">=")};
            t.kind = Tok::Op;
            for (const QString& op : twoChar)
                if (s_.mid(i_, 2) == op)
                    t.text = op;
            if (t.text.isEmpty()) {
                switch (c.unicode()) {
                case u'(': t.kind = Tok::Open; break;
                case u')': t.kind = Tok::Close; break;
                case u',': t.kind = Tok::Comma; break;
                case u';': t.kind = Tok::Semicolon; break;
                case u'{': t.kind = Tok::BraceOpen; break;
                case u'}': t.kind = Tok::BraceClose; break;
                default:
                    if (!QStringView(u"+-*/^&=<>%:").contains(c))
                        fail(start, QStringLiteral("「%1」は数式に使えません。").arg(c));
                }
                t.text = c;
            }
            i_ += int(t.text.size());
        }
        t.raw = s_.mid(start, i_ - start);
        out.push_back(t);
    }
    Token end;
    end.pos = int(s_.size());
    end.spaceBefore = space;
    out.push_back(end);
    return out;
}

// Full-width letters, digits and signs typed with the input method count
// as their ASCII twins, outside strings and quoted sheet names.
QString narrowedFormula(const QString& text)
{
    QString s = text;
    QChar quote;
    for (QChar& c : s) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(u - 0xFEE0);
        else if (u == 0x3000)
            c = u' ';
        if (c == u'"' || c == u'\'')
            quote = c;
    }
    return s;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, Workbook& book, int sheet) : t_(std::move(tokens)), book_(book), sheet_(sheet) {}
    Program run();

private:
    [[noreturn]] void fail(const Token& at, const QString& what) const;
    const Token& peek() const { return t_[size_t(k_)]; }
    const Token& next() { return t_[size_t(k_++)]; }
    bool isOp(const char* op) const { return peek().kind == Tok::Op && peek().text == QLatin1String(op); }
    void append(Op op, int start, int argc, int index = 0, double number = 0);
    void leaf(Op op, int index = 0, double number = 0) { append(op, int(p_.nodes.size()), 0, index, number); }

    void comparison(int depth);
    void concatenation(int depth);
    void additive(int depth);
    void multiplicative(int depth);
    void power(int depth);
    void unary(int depth);
    void percent(int depth);
    void intersection(int depth);
    void range(int depth);
    void primary(int depth);
    void function(const Token& name, int depth);
    void arrayConstant();
    Value constant();
    bool startsOperand(const Token& t) const;

    std::vector<Token> t_;
    Workbook& book_;
    int sheet_;
    int k_ = 0;
    int parens_ = 0; // open parentheses: the union operator lives only inside them
    Program p_;
    std::vector<std::pair<int, QString>> calls_; // user-function callee nodes, named once the text parses
};

void Parser::fail(const Token& at, const QString& what) const
{
    fault(at.pos, what);
}

void Parser::append(Op op, int start, int argc, int index, double number)
{
    Node n;
    n.op = op;
    n.argc = quint8(argc);
    n.index = index;
    n.number = number;
    n.size = int(p_.nodes.size()) - start + 1;
    p_.nodes.push_back(n);
}

Program Parser::run()
{
    if (peek().kind == Tok::End)
        fail(peek(), QStringLiteral("式がありません。"));
    comparison(0);
    if (peek().kind != Tok::End) {
        if (peek().kind == Tok::Close)
            fail(peek(), QStringLiteral("「)」に対応する「(」がありません。"));
        fail(peek(), QStringLiteral("「%1」の前に演算子がありません。").arg(peek().raw));
    }
    for (const auto& [node, name] : calls_)
        p_.nodes[size_t(node)].index = newerFunctionName(book_, name);
    return std::move(p_);
}

void Parser::comparison(int depth)
{
    const int start = int(p_.nodes.size());
    concatenation(depth);
    static const std::pair<const char*, Op> ops[] = {{"=", Op::Eq}, {"<>", Op::Ne}, {"<", Op::Lt}, {">", Op::Gt}, {"<=", Op::Le}, {">=", Op::Ge}};
    for (;;) {
        const auto it = std::find_if(std::begin(ops), std::end(ops), [&](const auto& o) { return isOp(o.first); });
        if (it == std::end(ops))
            return;
        next();
        concatenation(depth);
        append(it->second, start, 2);
    }
}

void Parser::concatenation(int depth)
{
    const int start = int(p_.nodes.size());
    additive(depth);
    while (isOp("&")) {
        next();
        additive(depth);
        append(Op::Concat, start, 2);
    }
}

void Parser::additive(int depth)
{
    const int start = int(p_.nodes.size());
    multiplicative(depth);
    while (isOp("+") || isOp("-")) {
        const Op op = next().text == u"+" ? Op::Add : Op::Sub;
        multiplicative(depth);
        append(op, start, 2);
    }
}

void Parser::multiplicative(int depth)
{
    const int start = int(p_.nodes.size());
    power(depth);
    while (isOp("*") || isOp("/")) {
        const Op op = next().text == u"*" ? Op::Mul : Op::Div;
        power(depth);
        append(op, start, 2);
    }
}

void Parser::power(int depth)
{
    const int start = int(p_.nodes.size());
    unary(depth);
    while (isOp("^")) {
        next();
        unary(depth);
        append(Op::Power, start, 2);
    }
}

void Parser::unary(int depth)
{
    if (depth > kMaxFormulaDepth)
        fail(peek(), QStringLiteral("入れ子が深すぎます。"));
    if (isOp("-") || isOp("+")) {
        const Op op = next().text == u"-" ? Op::Minus : Op::Plus;
        const int start = int(p_.nodes.size());
        unary(depth + 1);
        append(op, start, 1);
        return;
    }
    percent(depth);
}

void Parser::percent(int depth)
{
    const int start = int(p_.nodes.size());
    intersection(depth);
    while (isOp("%")) {
        next();
        append(Op::Percent, start, 1);
    }
}

bool Parser::startsOperand(const Token& t) const
{
    return t.kind == Tok::Ref || t.kind == Tok::Word || t.kind == Tok::Open;
}

void Parser::intersection(int depth)
{
    const int start = int(p_.nodes.size());
    range(depth);
    while (peek().spaceBefore && startsOperand(peek())) {
        range(depth);
        append(Op::Isect, start, 2);
    }
}

void Parser::range(int depth)
{
    const int start = int(p_.nodes.size());
    primary(depth);
    while (isOp(":")) {
        const Token& colon = next();
        // A1:B2 is one area; anything else joins two references
        Node& left = p_.nodes.back();
        if (peek().kind == Tok::Ref && !peek().ref.threeD && !peek().ref.area && left.op == Op::Ref
            && int(p_.nodes.size()) - 1 == start) {
            RefOperand& a = p_.refs[size_t(left.index)];
            const RefOperand& b = next().ref;
            if (!a.area && !a.deleted) {
                a.area = true;
                a.lastRow = b.lastRow;
                a.lastCol = b.lastCol;
                a.lastRowRel = b.lastRowRel;
                a.lastColRel = b.lastColRel;
                if (a.lastRow < a.firstRow) {
                    std::swap(a.firstRow, a.lastRow);
                    std::swap(a.firstRowRel, a.lastRowRel);
                }
                if (a.lastCol < a.firstCol) {
                    std::swap(a.firstCol, a.lastCol);
                    std::swap(a.firstColRel, a.lastColRel);
                }
                continue;
            }
            --k_;
        }
        if (!startsOperand(peek()))
            fail(peek().kind == Tok::End ? colon : peek(), QStringLiteral("「:」の後に参照がありません。"));
        primary(depth);
        append(Op::Range, start, 2);
    }
}

Value Parser::constant()
{
    const Token& t = peek();
    double sign = 1;
    if (t.kind == Tok::Op && t.text == u"-" && t_[size_t(k_ + 1)].kind == Tok::Number) {
        next();
        sign = -1;
    }
    const Token& v = next();
    switch (v.kind) {
    case Tok::Number: return Value::num(sign * v.number);
    case Tok::String: return Value::str(v.text);
    case Tok::Error: return Value::error(int(v.number));
    case Tok::Word:
        if (v.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
            return Value::boolean(true);
        if (v.text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            return Value::boolean(false);
        break;
    default: break;
    }
    fail(v, QStringLiteral("配列定数には数値・文字列・論理値・エラー値だけが書けます。"));
}

void Parser::arrayConstant()
{
    const Token& open = next();
    auto m = std::make_shared<Matrix>();
    int cols = -1, inRow = 0;
    for (;;) {
        m->values.push_back(constant());
        ++inRow;
        const Token& sep = next();
        if (sep.kind == Tok::Comma)
            continue;
        if (sep.kind == Tok::Semicolon || sep.kind == Tok::BraceClose) {
            if (cols >= 0 && inRow != cols)
                fail(sep, QStringLiteral("配列定数の行の長さがそろっていません。"));
            cols = inRow;
            inRow = 0;
            ++m->rows;
            if (sep.kind == Tok::BraceClose)
                break;
            continue;
        }
        fail(sep.kind == Tok::End ? open : sep, QStringLiteral("配列定数が「}」で閉じていません。"));
    }
    m->cols = cols;
    if (m->cols > 256 || m->rows > 65536)
        fail(open, QStringLiteral("配列定数が大きすぎます。"));
    p_.arrays.push_back(std::move(m));
    leaf(Op::ArrayConst, int(p_.arrays.size()) - 1);
}

void Parser::function(const Token& name, int depth)
{
    const int start = int(p_.nodes.size());
    const FunctionInfo* f = functionByName(name.text);
    int argc = 0;
    if (!f) {
        // newer and unknown functions are calls through a hidden name;
        // unknown ones give #NAME? as in Excel
        const FunctionInfo* newer = newerFunctionByName(name.text);
        leaf(Op::Name);
        calls_.emplace_back(int(p_.nodes.size()) - 1, newer ? QString::fromLatin1(newer->name) : name.text);
        argc = 1;
        f = newer;
    }
    next(); // (
    ++parens_;
    const int firstArg = argc;
    if (peek().kind == Tok::Close) {
        next();
    } else {
        for (;;) {
            if (peek().kind == Tok::Comma || peek().kind == Tok::Close)
                leaf(Op::Missing);
            else
                comparison(depth + 1);
            ++argc;
            const Token& sep = next();
            if (sep.kind == Tok::Comma)
                continue;
            if (sep.kind == Tok::Close)
                break;
            fail(sep.kind == Tok::End ? name : sep, sep.kind == Tok::End ? QStringLiteral("関数 %1 の「)」がありません。").arg(name.text.toUpper()) : QStringLiteral("「%1」の前に「,」か「)」が要ります。").arg(sep.raw));
        }
    }
    --parens_;
    const int given = argc - firstArg;
    if (f && (given < f->minArgs || given > f->maxArgs)) {
        fail(name, f->minArgs == f->maxArgs ? QStringLiteral("関数 %1 の引数は %2 個です。").arg(QLatin1String(f->name)).arg(f->minArgs) : QStringLiteral("関数 %1 の引数は %2 から %3 個です。").arg(QLatin1String(f->name)).arg(f->minArgs).arg(f->maxArgs));
    }
    if (argc > kMaxArguments + firstArg)
        fail(name, QStringLiteral("関数の引数が多すぎます（%1 個まで）。").arg(kMaxArguments));
    const bool builtIn = f && f->index != kUserFunction;
    append(Op::Function, start, argc, builtIn ? f->index : kUserFunction);
    p_.nodes.back().fixedArity = builtIn && f->fixedArity();
    if (builtIn && f->isVolatile)
        p_.isVolatile = true;
}

void Parser::primary(int depth)
{
    if (depth > kMaxFormulaDepth)
        fail(peek(), QStringLiteral("入れ子が深すぎます。"));
    const Token& t = peek();
    switch (t.kind) {
    case Tok::Number:
        next();
        leaf(Op::Number, 0, t.number);
        return;
    case Tok::String:
        next();
        if (t.text.size() > 255)
            fail(t, QStringLiteral("文字列が長すぎます（255 文字まで）。"));
        p_.strings.push_back(t.text);
        leaf(Op::String, int(p_.strings.size()) - 1);
        return;
    case Tok::Error:
        next();
        leaf(Op::ErrorConst, int(t.number));
        return;
    case Tok::Ref:
        next();
        p_.refs.push_back(t.ref);
        leaf(Op::Ref, int(p_.refs.size()) - 1);
        return;
    case Tok::BraceOpen: arrayConstant(); return;
    case Tok::Open: {
        next();
        ++parens_;
        const int start = int(p_.nodes.size());
        comparison(depth + 1);
        while (peek().kind == Tok::Comma) { // the union of references
            next();
            comparison(depth + 1);
            append(Op::Union, start, 2);
        }
        if (peek().kind != Tok::Close)
            fail(peek().kind == Tok::End ? t : peek(), QStringLiteral("「)」が足りません。"));
        next();
        --parens_;
        append(Op::Paren, start, 1);
        return;
    }
    case Tok::Word: {
        next();
        // "SUM (A1)" is a call as well, unless a name of the book is meant
        const bool call = !peek().spaceBefore
            || ((functionByName(t.text) || newerFunctionByName(t.text)) && !findDefinedName(book_, t.text, sheet_));
        if (peek().kind == Tok::Open && call) {
            function(t, depth);
            return;
        }
        if (t.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) {
            leaf(Op::Boolean, 0, 1);
            return;
        }
        if (t.text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            leaf(Op::Boolean, 0, 0);
            return;
        }
        const int index = findDefinedName(book_, t.text, sheet_);
        if (index == 0)
            fail(t, QStringLiteral("名前「%1」は定義されていません。").arg(t.text));
        leaf(Op::Name, index);
        return;
    }
    case Tok::End: fail(t, QStringLiteral("式が途中で終わっています。"));
    case Tok::Close: fail(t, QStringLiteral("「)」の前に値がありません。"));
    case Tok::Comma: fail(t, parens_ > 0 ? QStringLiteral("「,」の前に値がありません。") : QStringLiteral("「,」は関数の引数の区切りにだけ使えます。"));
    default: fail(t, QStringLiteral("「%1」の前に値がありません。").arg(t.raw));
    }
}

} // namespace

Program parseFormula(const QString& text, Workbook& book, int sheet)
{
    const QString s = narrowedFormula(text);
    const int skip = s.startsWith(u'=') ? 1 : 0;
    std::vector<Token> tokens = Lexer(s, book).run();
    if (skip) { // the "=" is not part of the formula
        if (tokens.front().kind != Tok::Op || tokens.front().text != u"=")
            throw EFormulaError(QStringLiteral("数式の 1 文字目: 「=」がありません。"), 0);
        tokens.erase(tokens.begin());
    }
    Parser parser(std::move(tokens), book, sheet);
    return parser.run();
}

} // namespace tegaro::sheets
