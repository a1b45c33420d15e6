#pragma once
// What the parts of one package import share: the workbook being filled,
// the strings, the limits on work, and the account of what an .xls
// workbook cannot hold.
#include "sheets/package/PackageCheck.h"
#include "sheets/model/Workbook.h"

#include <QDate>

#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace tegaro::sheets {

// Bounds for one import: calls from the reader and cells kept.
constexpr qint64 kMaxImportWork = 80'000'000;
constexpr qint64 kMaxImportCells = 4'000'000;
constexpr int kMaxImportSheets = 4096;
constexpr int kMaxTextLength = 32767;   // the longest text an .xls cell holds
constexpr int kMaxImportFormats = 4050; // cell formats (XF records) an .xls workbook may have

// The formatting of one run of a rich text, as the file gives it.
struct RunFormat {
    std::optional<size_t> font; // a font of the styles
    std::optional<QString> name;
    std::optional<double> size; // points
    std::optional<bool> bold, italic;
    std::optional<QRgb> color;
    bool plain() const { return !font && !name && !size && !bold && !italic && !color; }
    QByteArray key() const;
};

struct ImportedText {
    QString text;
    QList<RichRun> runs; // fonts count run formats until the import ends
};

// Counts of what was left out or changed, for the message after loading.
struct LeftOut {
    struct OfSheet {
        qint64 rowsBeyond = 0, columnsBeyond = 0, merges = 0;
    };
    std::map<int, OfSheet> sheets;
    std::set<QString> features;
    QStringList renamedSheets;
    int colours = 0, formats = 0, fonts = 0, texts = 0;
};

// A PANE record of an .xls sheet: the split at column `x` and row `y`
// (frozen) or at x and y twips (split), the first row and column of the
// part that scrolls, and the pane the cursor is in (3 top left ... 0 bottom right).
QByteArray paneRecord(int x, int y, int topRow, int leftCol, quint8 active);

struct ImportContext {
    ImportContext(Workbook& b, PackageKind k) : book(b), kind(k) {}

    Workbook& book;
    PackageKind kind;
    QDate origin{1899, 12, 30}; // the day the value 0 stands for
    QStringList givenNames;     // of the sheets, as the file writes them
    std::vector<ImportedText> strings;
    std::vector<RunFormat> runFormats;
    std::map<QByteArray, quint16> runFormatIndex;
    LeftOut leftOut;

    // Called for every piece of work the reader hands over, so that a file
    // made to keep it busy ends with an error.
    void charge(qint64 amount = 1);
    void countCell();
    quint16 runFormat(const RunFormat& format);
    // A text that fits an .xls cell; longer ones are cut and counted.
    QString fitText(std::string_view utf8);
    QString fitText(QString text);
    // A print area of `sheet`, cut to what an .xls sheet has.
    void addPrintArea(Sheet& sheet, const Range& area);
    // The number that stands for a day and a time of it (seconds from
    // midnight) in the workbook's date system.
    double dateSerial(QDate date, double seconds) const;

private:
    qint64 work_ = 0, cells_ = 0;
};

} // namespace tegaro::sheets
