#include "sheets/package/PackageReader.h"

#include "sheets/model/CellReference.h"
#include "sheets/formula/Formulas.h"
#include "sheets/package/ImportFactory.h"
#include "sheets/package/OdsExtras.h"
#include "sheets/package/PackageCheck.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/XlsxSheetExtras.h"

#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>

#include <QLocale>

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

} // namespace

Workbook readPackage(const QByteArray& given)
{
    const QByteArray bytes = withoutTrailingBytes(given);
    const QList<PackageEntry> entries = checkPackageDirectory(bytes);
    const PackageKind kind = packageKind(bytes);
    const PreparedPackage prepared = preparePackage(bytes, entries, kind);
    const QByteArray& package = prepared.bytes;

    // The reader parses .ods content in a second thread by default, and that
    // thread ends the program on any error but malformed XML (a bad
    // character reference, say); in one thread every error comes back here.
    static const bool oneThread = qputenv("ORCUS_ODS_USE_THREADS", "0");
    (void)oneThread;

    Workbook book;
    book.sheets.clear();
    ImportContext ctx(book, kind);
    ImportFactory factory(ctx);
    try {
        const std::string_view view(package.constData(), size_t(package.size()));
        if (kind == PackageKind::Xlsx) {
            orcus::orcus_xlsx reader(&factory);
            reader.read_stream(view);
        } else {
            orcus::orcus_ods reader(&factory);
            reader.read_stream(view);
        }
        factory.finalize();
        addOdsExtras(package, ctx);
        addXlsxSheetExtras(package, ctx);
    } catch (const tegaro::Exception&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ECorruptWorkbook(QStringLiteral("ブックが大きすぎるため読み込めません。(メモリ不足)"));
    } catch (const std::exception& e) {
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。(%1)").arg(QString::fromUtf8(e.what())));
    }
    if (book.sheets.isEmpty())
        throw ENotAWorkbook(QStringLiteral("ブックにワークシートがありません。"));
    if (prepared.date1904)
        book.date1904 = true; // the values were read as they stand; only their meaning changes

    // Formula text becomes tokens; what does not compile keeps its cached
    // value, and uncompiledLines() says that it is saved as a value.
    compileSources(book);

    ctx.leftOut.features.insert(prepared.unread.begin(), prepared.unread.end());
    book.leftOut = leftOutLines(ctx.leftOut, book, entries) + uncompiledLines(book);
    return book;
}

} // namespace tegaro::sheets
