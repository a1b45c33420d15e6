#include "records/list/XlsxWriter.h"

#include "core/Errors.h"

#include <QFile>
#include <QStringEncoder>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include <dlfcn.h>

namespace {
// Set while a list is written: the parts of its package are compressed at
// zlib's fastest level. libxlsxwriter asks minizip for the default level,
// which took a third of a long export for files a fifth smaller; it has no
// setting of its own, so its call into minizip comes here first.
thread_local bool fastZip = false;
} // namespace

extern "C" int zipOpenNewFileInZip4_64(void* file, const char* filename, const void* zipfi, const void* extrafield_local,
                                       unsigned size_extrafield_local, const void* extrafield_global,
                                       unsigned size_extrafield_global, const char* comment, int method, int level,
                                       int raw, int windowBits, int memLevel, int strategy, const char* password,
                                       unsigned long crcForCrypting, unsigned long versionMadeBy, unsigned long flagBase,
                                       int zip64)
{
    using Open = decltype(&zipOpenNewFileInZip4_64);
    static const auto next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!next)
        return -104; // ZIP_INTERNALERROR
    constexpr int kDefaultLevel = -1, kFastestLevel = 1;
    if (fastZip && level == kDefaultLevel)
        level = kFastestLevel;
    return next(file, filename, zipfi, extrafield_local, size_extrafield_local, extrafield_global,
                size_extrafield_global, comment, method, level, raw, windowBits, memLevel, strategy, password,
                crcForCrypting, versionMadeBy, flagBase, zip64);
}

namespace tegaro {

namespace {
constexpr int kProgressStep = 1000;
constexpr int kMinWidth = 4;
constexpr int kMaxWidth = 60;

bool isWide(char32_t c)
{
    // CJK, kana, full-width forms, Hangul and the planes beyond the BMP
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
}

void check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw EInOutError(QStringLiteral("Excel ブックを書けません：") + QString::fromUtf8(lxw_strerror(error)));
}

struct WorkbookFree {
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

// "2003年12月31日" at its widest.
constexpr int kDateWidth = 14;

// The width of a number in the form's digits, grouped: counted, not written.
int numberWidth(double value, int decimals)
{
    if (decimals < 0)
        return 12;
    const double whole = std::fabs(value);
    const int digits = whole < 1 ? 1 : int(std::floor(std::log10(whole))) + 1;
    return (value < 0 ? 1 : 0) + digits + (digits - 1) / 3 + (decimals > 0 ? decimals + 1 : 0);
}

// Excel's number format for values of this many decimals.
QByteArray numberFormat(int decimals)
{
    QByteArray format = "#,##0";
    if (decimals > 0)
        format += '.' + QByteArray(decimals, '0');
    return format;
}
} // namespace

int textWidth(const QString& text)
{
    int width = 0;
    for (QChar c : text) {
        if (c.isLowSurrogate())
            continue; // counted with its high half
        width += c.isHighSurrogate() || isWide(c.unicode()) ? 2 : 1;
    }
    return width;
}

XlsxResult writeXlsx(const ListRows& rows, const QString& path, const ListProgress& progress)
{
    const int n = rows.count();
    if (n > kXlsxMaxRows)
        throw EInOutError(QStringLiteral("Excel ブックに書ける行数を超えています。"));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = QFile::encodeName(path);
    std::unique_ptr<lxw_workbook, WorkbookFree> book(workbook_new_opt(file.constData(), &options));
    if (!book)
        throw EInOutError(QStringLiteral("Excel ブックを作れません：") + path);
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), "一覧");
    if (!sheet)
        throw EInOutError(QStringLiteral("Excel ブックを作れません：") + path);

    lxw_format* bold = workbook_add_format(book.get());
    format_set_bold(bold);
    lxw_format* date = workbook_add_format(book.get());
    format_set_num_format(date, "yyyy\"年\"m\"月\"d\"日\"");
    std::map<int, lxw_format*> numbers; // by decimals
    const auto numberFormatOf = [&](int decimals) {
        auto found = numbers.find(decimals);
        if (found != numbers.end())
            return found->second;
        lxw_format* f = workbook_add_format(book.get());
        format_set_num_format(f, numberFormat(decimals).constData());
        numbers.emplace(decimals, f);
        return f;
    };

    const QList<ListColumn>& columns = houseListColumns();
    const QList<int> shown = rows.columns();
    const int last = int(shown.size()) - 1;
    std::vector<int> widths(shown.size(), 0);
    for (int c = 0; c <= last; ++c) {
        const QString& header = columns[shown[c]].header;
        check(worksheet_write_string(sheet, 0, lxw_col_t(c), header.toUtf8().constData(), bold));
        // room for the autofilter's button
        widths[size_t(c)] = textWidth(header) + 3;
    }

    // The UTF-8 the library takes, in one buffer for every cell.
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArray buffer;
    const auto utf8Of = [&](QStringView text) {
        buffer.resize(utf8.requiredSpace(text.size()) + 1);
        *utf8.appendToBuffer(buffer.data(), text) = '\0';
        return buffer.constData();
    };

    XlsxResult result;
    for (int r = 0; r < n; ++r) {
        const lxw_row_t row = lxw_row_t(r + 1);
        for (int c = 0; c <= last; ++c) {
            const lxw_col_t col = lxw_col_t(c);
            const ListCell cell = rows.cell(r, shown[c]);
            int width = 0;
            switch (cell.type) {
            case ListCell::Empty: break;
            case ListCell::Number: {
                const int decimals = decimalsOf(cell.number);
                check(worksheet_write_number(sheet, row, col, cell.number,
                                             decimals < 0 ? nullptr : numberFormatOf(decimals)));
                width = numberWidth(cell.number, decimals);
                break;
            }
            case ListCell::Date: {
                const QDate d = cell.date.date();
                const QTime t = cell.date.time();
                // Excel's dates begin in 1900; earlier ones stay text.
                if (d.year() >= 1900 && d.year() <= 9999) {
                    lxw_datetime dt{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
                    check(worksheet_write_datetime(sheet, row, col, &dt, date));
                    width = kDateWidth;
                    break;
                }
                const QString text = cellText(cell);
                check(worksheet_write_string(sheet, row, col, utf8Of(text), nullptr));
                width = textWidth(text);
                break;
            }
            case ListCell::Text:
            case ListCell::Mark: {
                QString text = cell.type == ListCell::Mark ? markText() : cell.text;
                if (text.size() > kXlsxMaxText && text.toUcs4().size() > kXlsxMaxText) {
                    text = QString::fromUcs4(reinterpret_cast<const char32_t*>(text.toUcs4().constData()), kXlsxMaxText);
                    ++result.shortened;
                }
                // Always a string cell: text that begins with "=" is never a formula here.
                check(worksheet_write_string(sheet, row, col, utf8Of(text), nullptr));
                // A memo's width is that of its first line.
                const qsizetype lineEnd = text.indexOf(u'\n');
                width = textWidth(lineEnd < 0 ? text : text.left(lineEnd));
                break;
            }
            }
            widths[size_t(c)] = std::max(widths[size_t(c)], width + 1);
        }
        if (progress && (r + 1) % kProgressStep == 0 && !progress(r + 1, n))
            return {}; // the library's temporary files go with the workbook
    }

    for (int c = 0; c <= last; ++c)
        check(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c),
                                   std::clamp(widths[size_t(c)], kMinWidth, kMaxWidth), nullptr));
    worksheet_freeze_panes(sheet, 1, 0);
    check(worksheet_autofilter(sheet, 0, 0, lxw_row_t(n), lxw_col_t(last)));
    fastZip = true;
    const lxw_error closed = workbook_close(book.release()); // frees the workbook too
    fastZip = false;
    check(closed);
    if (progress)
        progress(n, n);
    result.written = true;
    return result;
}

} // namespace tegaro
