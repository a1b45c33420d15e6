#include "sheets/package/PackageReader.h"

#include "sheets/calc/Calculator.h"
#include "sheets/model/CellReference.h"
#include "sheets/formula/Formulas.h"
#include "sheets/package/ImportFactory.h"
#include "sheets/package/OdsReader.h"
#include "sheets/package/PackageCheck.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/XlsxReader.h"

#include <QLocale>

#include <algorithm>

namespace tegaro::sheets {

namespace {

QString count(qint64 n)
{
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(n);
}

// Package parts that hold what the reader does not hand over.
const std::pair<const char*, const char16_t*> kPartFeatures[] = {
    {"xl/drawings/", u"図形・画像"},
    {"xl/media/", u"図形・画像"},
    {"Pictures/", u"図形・画像"},
    {"xl/charts/", u"グラフ"},
    {"Object ", u"グラフ・埋め込みオブジェクト"},
    {"xl/comments", u"コメント"},
    {"xl/pivotTables/", u"ピボットテーブル"},
    {"xl/externalLinks/", u"他のブックへのリンク"},
    {"xl/vbaProject", u"マクロ"},
};

QStringList leftOutLines(const LeftOut& l, const Workbook& book, const QList<PackageEntry>& entries)
{
    QStringList lines;
    for (const auto& [index, s] : l.sheets) {
        const QString name = book.sheets[index].name;
        if (s.rowsBeyond)
            lines << QStringLiteral("シート「%1」の %2 行目より下のセル %3 個")
                         .arg(name, count(kMaxRows), count(s.rowsBeyond));
        if (s.columnsBeyond)
            lines << QStringLiteral("シート「%1」の %2 列目 (%3 列) より右のセル %4 個")
                         .arg(name, count(kMaxColumns), columnLetters(kMaxColumns - 1), count(s.columnsBeyond));
        if (s.merges)
            lines << QStringLiteral("シート「%1」の範囲の外にかかる結合セル %2 個").arg(name, count(s.merges));
    }
    std::set<QString> features = l.features;
    for (const PackageEntry& e : entries)
        for (const auto& [prefix, what] : kPartFeatures)
            if (e.name.startsWith(prefix))
                features.insert(QString::fromUtf16(what));
    for (const QString& f : features)
        lines << f;
    lines << l.renamedSheets;
    if (l.colours)
        lines << QStringLiteral("56 色に入らない色 %1 色 (近い色で表示)").arg(l.colours);
    if (l.formats)
        lines << QStringLiteral("上限を超えたセルの書式 %1 個 (標準の書式で表示)").arg(count(l.formats));
    if (l.fonts)
        lines << QStringLiteral("上限を超えたフォント %1 個 (標準のフォントで表示)").arg(count(l.fonts));
    if (l.texts)
        lines << QStringLiteral("%1 文字を超える文字列 %2 個の超えた部分").arg(count(kMaxTextLength), count(l.texts));
    return lines;
}

// Formulas and names whose text did not become tokens: they are saved as
// their values, or not at all.
QStringList uncompiledLines(const Workbook& book)
{
    qint64 formulas = 0, names = 0;
    for (const Sheet& s : book.sheets)
        for (const auto& [key, c] : s.cells())
            formulas += c.formula && !c.formula->compiled();
    for (const DefinedName& n : book.names)
        names += n.tokens.isEmpty() && !n.source.isEmpty();
    QStringList lines;
    if (formulas)
        lines << QStringLiteral("数式 %1 個 (計算結果の値だけを保存します)").arg(count(formulas));
    if (names)
        lines << QStringLiteral("名前の定義 %1 個").arg(count(names));
    return lines;
}

// Formulas saved without their results (scripts often save none) are worked
// out now, so that they show their values; how many could not be.
int calculateMissingResults(Workbook& book)
{
    QList<CellAddress> missing;
    for (int s = 0; s < book.sheets.size(); ++s)
        for (const auto& [key, c] : book.sheets[s].cells())
            if (c.kind == CellKind::Formula && c.result == CellKind::Empty && c.formula && c.formula->compiled())
                missing << CellAddress{s, Sheet::rowOf(key), Sheet::colOf(key)};
    if (missing.isEmpty())
        return 0;
    Calculator calc(book);
    const Recalculation r = calc.cellsChanged(missing);
    return r.notCalculated;
}

} // namespace

Workbook readPackage(const QByteArray& given)
{
    const QByteArray bytes = withoutTrailingBytes(given);
    const QList<PackageEntry> entries = checkPackageDirectory(bytes);
    const PackageKind kind = packageKind(bytes);

    Workbook book;
    book.sheets.clear();
    ImportContext ctx(book, kind);
    ImportFactory factory(ctx);
    qint64 valueCells = 0;
    try {
        // each reader checks every part as it reads it
        if (kind == PackageKind::Xlsx)
            valueCells = readXlsxPackage(bytes, entries, ctx, factory);
        else
            readOdsPackage(bytes, ctx, factory);
    } catch (...) {
        rethrowAsWorkbookError();
    }
    if (book.sheets.isEmpty())
        throw ENotAWorkbook(QStringLiteral("ブックにワークシートがありません。"));
    // cells in the parts and none in the sheets: read so, the workbook
    // would be shown or converted empty as if nothing were lost
    if (valueCells > 0
        && std::all_of(book.sheets.begin(), book.sheets.end(), [](const Sheet& s) { return s.cells().empty(); }))
        throw ECorruptWorkbook(QStringLiteral("ブックのセルを読み取れませんでした。"));

    // Formula text becomes tokens; what does not compile keeps its cached
    // value, and uncompiledLines() says that it is saved as a value.
    compileSources(book);
    const int uncalculated = calculateMissingResults(book);

    book.leftOut = leftOutLines(ctx.leftOut, book, entries) + uncompiledLines(book);
    if (uncalculated)
        book.leftOut << QStringLiteral("計算結果が保存されておらず、計算もできなかった数式 %1 個").arg(count(uncalculated));
    return book;
}

} // namespace tegaro::sheets
