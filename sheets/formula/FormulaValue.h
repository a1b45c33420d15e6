#pragma once
// What a formula works with: numbers, texts, booleans, errors, the empty
// value of an empty cell, references to cells and arrays of values.
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tegaro::sheets {

// Excel's error codes as the file stores them.
namespace err {
constexpr int Null = 0x00, Div0 = 0x07, Value = 0x0F, Ref = 0x17, Name = 0x1D, Num = 0x24, NA = 0x2A;
// Not Excel's: a function Excel knows that this program does not work out.
// The cell keeps the result its file brought.
constexpr int NotCalculated = 0xFF;
} // namespace err

// A block of cells: sheet (0-based), rows and columns (0-based, inclusive).
struct CellArea {
    int sheet = 0;
    int firstRow = 0, firstCol = 0, lastRow = 0, lastCol = 0;
    int rows() const { return lastRow - firstRow + 1; }
    int cols() const { return lastCol - firstCol + 1; }
    bool single() const { return firstRow == lastRow && firstCol == lastCol; }
    bool contains(int sheet_, int row, int col) const
    {
        return sheet_ == sheet && row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
    bool operator==(const CellArea&) const = default;
};

struct Value;
struct Matrix;

struct Value {
    enum Kind : quint8 {
        Empty,
        Number,
        Text,
        Boolean,
        Error,
        Ref,
        Array
    };
    Kind kind = Empty;
    double number = 0; // number, boolean (0 or 1), error code
    QString text;
    CellArea area;                                          // Ref: the first (usually only) area
    std::shared_ptr<const std::vector<CellArea>> moreAreas; // Ref: a union's other areas
    std::shared_ptr<const Matrix> matrix;                   // Array

    static Value num(double v)
    {
        Value x;
        x.kind = Number;
        x.number = v;
        return x;
    }
    static Value str(QString s)
    {
        Value x;
        x.kind = Text;
        x.text = std::move(s);
        return x;
    }
    static Value boolean(bool b)
    {
        Value x;
        x.kind = Boolean;
        x.number = b ? 1 : 0;
        return x;
    }
    static Value error(int code)
    {
        Value x;
        x.kind = Error;
        x.number = code;
        return x;
    }
    static Value ref(const CellArea& a)
    {
        Value x;
        x.kind = Ref;
        x.area = a;
        return x;
    }
    static Value array(std::shared_ptr<const Matrix> m)
    {
        Value x;
        x.kind = Array;
        x.matrix = std::move(m);
        return x;
    }

    bool isError() const { return kind == Error; }
    int errorCode() const { return int(number); }
    bool isRef() const { return kind == Ref; }
    bool isMultiArea() const { return kind == Ref && moreAreas && !moreAreas->empty(); }
};

struct Matrix {
    int rows = 0, cols = 0;
    std::vector<Value> values; // row by row
    const Value& at(int r, int c) const { return values[size_t(r) * size_t(cols) + size_t(c)]; }
};

// Excel's reading of a text as a number: "1,234.5", "-5", "12%", "1E3",
// "¥1,000", "2024/4/1", "令和6年4月1日", "12:30". Nothing for other texts.
std::optional<double> textToNumber(const QString& text, bool date1904);

// A number as a formula shows it in text: up to 15 significant digits,
// exponent form for very large and very small numbers ("1E+20").
QString numberToText(double v);

// v taken to 15 significant digits, as Excel shows and compares numbers.
double round15(double v);

// Excel's comparison of two single values: -1, 0, 1. Numbers come before
// texts, texts before booleans; texts compare without regard to case; an
// empty value stands for 0, "" or FALSE, whichever the other side is.
int compareValues(const Value& a, const Value& b);

// Case-insensitive equality with Excel's wildcards (* ? and ~ to escape).
bool wildcardMatch(const QString& pattern, const QString& text);

} // namespace tegaro::sheets
