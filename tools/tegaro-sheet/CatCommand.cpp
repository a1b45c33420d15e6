// cat: every non-empty cell of one sheet as "A1<TAB>cell text".
#include "tools/tegaro-sheet/Commands.h"

#include "sheets/calc/Calculator.h"
#include "sheets/container/LargeBuffer.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/model/Workbook.h"
#include "sheets/xls/XlsFile.h"

#include <QTextStream>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace tegaro::sheets;

namespace tegaro::sheettool {

namespace {

// The lines to print, kept in one buffer and put in row and column order
// when the file listed its cells otherwise.
class CatOutput {
public:
    CatOutput() : buffer_(qsizetype(1) << 23) {} // room that costs nothing until written

    void add(int row, int col, const QString& text)
    {
        if (text.isEmpty())
            return;
        const quint32 key = Sheet::key(row, col);
        sorted_ = sorted_ && (!any_ || last_ < key);
        last_ = key;
        any_ = true;
        char head[32];
        int n = 0;
        for (int c = col + 1; c > 0 && n < 4; c = (c - 1) / 26)
            head[n++] = char('A' + (c - 1) % 26);
        std::reverse(head, head + n);
        n = int(std::to_chars(head + n, head + 24, row + 1).ptr - head);
        head[n++] = '\t';
        room(n + 3 * text.size() + 1);
        append(head, n);
        appendUtf8(text);
        append('\n');
    }

    void write()
    {
        if (!sorted_)
            sortLines();
        std::fwrite(buffer_.data(), 1, size_t(size_), stdout);
        std::fflush(stdout);
    }

private:
    void room(qsizetype n)
    {
        if (size_ + n > buffer_.capacity())
            buffer_.reserve(std::max(2 * buffer_.capacity(), size_ + n), size_);
    }
    void append(const char* bytes, qsizetype n)
    {
        std::memcpy(buffer_.data() + size_, bytes, size_t(n));
        size_ += n;
    }
    void append(char c) { buffer_.data()[size_++] = c; }

    // UTF-8 straight into the buffer, line breaks as spaces
    void appendUtf8(const QString& text)
    {
        const qsizetype n = text.size();
        const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = s[i];
            if (c < 0x80) {
                append(c == u'\n' ? ' ' : char(c));
                continue;
            }
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]))
                c = QChar::surrogateToUcs4(char16_t(c), s[++i]);
            char bytes[4];
            int k;
            if (c < 0x800) {
                bytes[0] = char(0xC0 | (c >> 6));
                bytes[1] = char(0x80 | (c & 0x3F));
                k = 2;
            } else if (c < 0x10000) {
                bytes[0] = char(0xE0 | (c >> 12));
                bytes[1] = char(0x80 | ((c >> 6) & 0x3F));
                bytes[2] = char(0x80 | (c & 0x3F));
                k = 3;
            } else {
                bytes[0] = char(0xF0 | (c >> 18));
                bytes[1] = char(0x80 | ((c >> 12) & 0x3F));
                bytes[2] = char(0x80 | ((c >> 6) & 0x3F));
                bytes[3] = char(0x80 | (c & 0x3F));
                k = 4;
            }
            append(bytes, k);
        }
    }

    // Files list cells in order nearly always; for the others the lines are
    // sorted by the cell name that starts them. A cell given twice shows its
    // last value, as when kept in a sheet.
    void sortLines()
    {
        struct Line {
            quint32 key;
            qsizetype start, length;
        };
        const QByteArray all = QByteArray::fromRawData(buffer_.data(), size_);
        std::vector<Line> lines;
        for (qsizetype at = 0; at < all.size();) {
            const qsizetype end = all.indexOf('\n', at) + 1;
            int col = 0, row = 0;
            qsizetype i = at;
            for (; all[i] >= 'A' && all[i] <= 'Z'; ++i)
                col = col * 26 + (all[i] - 'A' + 1);
            std::from_chars(all.constData() + i, all.constData() + end, row);
            lines.push_back({Sheet::key(row - 1, col - 1), at, end - at});
            at = end;
        }
        std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.key < b.key; });
        LargeBuffer ordered(size_);
        qsizetype size = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i + 1 == lines.size() || lines[i + 1].key != lines[i].key) {
                std::memcpy(ordered.data() + size, all.constData() + lines[i].start, size_t(lines[i].length));
                size += lines[i].length;
            }
        }
        std::swap(buffer_, ordered);
        size_ = size;
    }

    LargeBuffer buffer_;
    qsizetype size_ = 0;
    quint32 last_ = 0;
    bool any_ = false;
    bool sorted_ = true;
};

} // namespace

int catCommand(const QStringList& args)
{
    QString path;
    int sheet = 1;
    bool formulas = false, recalc = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet")) {
            if (!parseSheet(args, i, sheet))
                return 2;
        } else if (args[i] == QLatin1String("--formulas")) {
            formulas = true;
        } else if (args[i] == QLatin1String("--recalc")) {
            recalc = true;
        } else if (path.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            path = args[i];
        } else {
            return usage();
        }
    }
    if (path.isEmpty())
        return usage();
    if (!formulas && !recalc) {
        // the quick way: each cell's text as it is read, nothing kept
        CatOutput out;
        try {
            readXlsFileCells(path, sheet - 1, [&](const Workbook& book, int row, int col, const Cell& cell) {
                out.add(row, col, book.cellText(cell));
            });
            out.write();
            return 0;
        } catch (const ESheetError&) {
            // the full reading below says what is wrong
        }
    }
    CatOutput out;
    Workbook book = readBook(path);
    if (!checkSheet(book, path, sheet))
        return 1;
    if (recalc) {
        Calculator calc(book);
        reportRecalculation(book, calc.recalculateAll());
    }
    for (const auto& [key, cell] : book.sheets[sheet - 1].cells()) {
        const int row = Sheet::rowOf(key), col = Sheet::colOf(key);
        QString text = formulas && cell.kind == CellKind::Formula ? formulaText(book, sheet - 1, row, col) : QString();
        out.add(row, col, text.isEmpty() ? book.cellText(cell) : text);
    }
    out.write();
    return 0;
}

} // namespace tegaro::sheettool
