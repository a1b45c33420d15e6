#include "sheets/package/ImportFactory.h"

#include "sheets/model/CellReference.h"
#include "sheets/model/DigitWidth.h"
#include "sheets/formula/FormulaText.h"
#include "sheets/model/SheetErrors.h"

#include <orcus/exception.hpp>

namespace tegaro::sheets {

namespace {

QString utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// Excel's built-in names by their code.
const QStringList& builtInNames()
{
    static const QStringList names = {
        QStringLiteral("Consolidate_Area"), QStringLiteral("Auto_Open"), QStringLiteral("Auto_Close"),
        QStringLiteral("Extract"), QStringLiteral("Database"), QStringLiteral("Criteria"),
        QStringLiteral("Print_Area"), QStringLiteral("Print_Titles"), QStringLiteral("Recorder"),
        QStringLiteral("Data_Form"), QStringLiteral("Auto_Activate"), QStringLiteral("Auto_Deactivate"),
        QStringLiteral("Sheet_Title"), QStringLiteral("_FilterDatabase")};
    return names;
}

// The built-in name a file's name stands for, or -1: "_xlnm.Print_Area" in
// .xlsx files, "Excel_BuiltIn_Print_Area" in files LibreOffice wrote.
int builtInCode(const QString& name)
{
    for (const QString& prefix : {QStringLiteral("_xlnm."), QStringLiteral("Excel_BuiltIn_")})
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            return int(builtInNames().indexOf(name.mid(prefix.size()), Qt::CaseInsensitive));
    return -1;
}

} // namespace

// The small interfaces of the workbook as a whole.
class ImportFactory::Parts {
public:
    class Settings : public ss::iface::import_global_settings {
    public:
        explicit Settings(ImportContext& ctx) : ctx_(ctx) {}
        void set_origin_date(int year, int month, int day) override
        {
            const QDate origin(year, month, day);
            if (!origin.isValid())
                return;
            ctx_.origin = origin;
            ctx_.book.date1904 = origin == QDate(1904, 1, 1);
        }
        void set_default_formula_grammar(ss::formula_grammar_t grammar) override { grammar_ = grammar; }
        ss::formula_grammar_t get_default_formula_grammar() const override { return grammar_; }
        void set_character_set(orcus::character_set_t) override {}

    private:
        ImportContext& ctx_;
        ss::formula_grammar_t grammar_ = ss::formula_grammar_t::unknown;
    };

    class Strings : public ss::iface::import_shared_strings {
    public:
        explicit Strings(ImportContext& ctx) : ctx_(ctx) {}
        size_t append(std::string_view s) override
        {
            ctx_.charge();
            const size_t i = ctx_.strings.size();
            ctx_.strings.push_back({i < ctx_.sharedTexts.size() ? ctx_.fitText(ctx_.sharedTexts[i]) : ctx_.fitText(s), {}});
            return i;
        }
        size_t add(std::string_view s) override
        {
            const QString text = utf8(s);
            if (auto it = known_.find(text); it != known_.end())
                return *it;
            const size_t i = append(s);
            known_.insert(text, i);
            return i;
        }
        void set_segment_font(size_t index) override { format_.font = index; }
        void set_segment_bold(bool b) override { format_.bold = b; }
        void set_segment_italic(bool b) override { format_.italic = b; }
        void set_segment_font_name(std::string_view s) override { format_.name = utf8(s); }
        void set_segment_font_size(double point) override { format_.size = point; }
        void set_segment_font_color(ss::color_elem_t, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override
        {
            format_.color = qRgb(r, g, b);
        }
        void append_segment(std::string_view s) override
        {
            ctx_.charge();
            // a run starts where its formatting changes; after a formatted
            // run, plain text goes back to the standard font
            if ((!format_.plain() || !runs_.isEmpty()) && text_.size() < kMaxTextLength) {
                const quint16 font = ctx_.runFormat(format_);
                if (runs_.isEmpty() || runs_.last().font != font)
                    runs_ << RichRun{quint16(text_.size()), font};
            }
            text_ += utf8(s);
            format_ = RunFormat();
        }
        size_t commit_segments() override
        {
            ctx_.charge();
            if (const size_t i = ctx_.strings.size(); i < ctx_.sharedTexts.size() && ctx_.sharedTexts[i] != text_) {
                // the reader drops plain text before the runs: it goes back
                // in the standard font
                const QString& full = ctx_.sharedTexts[i];
                const qsizetype before = full.size() - text_.size();
                if (full.endsWith(text_) && before < kMaxTextLength) {
                    for (RichRun& r : runs_)
                        r.first = quint16(r.first + before);
                    if (runs_.isEmpty() || runs_.first().first != 0)
                        runs_.prepend(RichRun{0, ctx_.runFormat(RunFormat())});
                }
                text_ = full;
            }
            ImportedText t{ctx_.fitText(text_), {}};
            for (const RichRun& r : runs_)
                if (r.first < t.text.size())
                    t.runs << r;
            ctx_.strings.push_back(std::move(t));
            text_.clear();
            runs_.clear();
            format_ = RunFormat();
            return ctx_.strings.size() - 1;
        }

    private:
        ImportContext& ctx_;
        QHash<QString, size_t> known_;
        QString text_;
        QList<RichRun> runs_;
        RunFormat format_;
    };

    class Resolver : public ss::iface::import_reference_resolver {
    public:
        explicit Resolver(ImportContext& ctx) : ctx_(ctx) {}
        ss::src_address_t resolve_address(std::string_view address) override
        {
            const ss::src_range_t r = resolve_range(address);
            return r.first;
        }
        ss::src_range_t resolve_range(std::string_view text) override
        {
            ctx_.charge();
            // the place of every formula comes so: "H12", read without the general parser
            if (const auto cell = plainCell(text))
                return {{0, cell->first, cell->second}, {0, cell->first, cell->second}};
            // a selection may list several areas; the first one is enough
            QString t = utf8(text).trimmed();
            const auto areas = parseAreas(t.section(u' ', 0, 0));
            if (!areas || areas->isEmpty())
                throw orcus::invalid_arg_error("not a cell reference: " + std::string(text));
            const Range& r = areas->first().range;
            return {{0, r.firstRow, r.firstCol}, {0, r.lastRow, r.lastCol}};
        }

    private:
        // "H12" as row and column, or nothing for any other text.
        static std::optional<std::pair<int, int>> plainCell(std::string_view t)
        {
            size_t i = 0;
            int col = 0;
            while (i < t.size() && i < 3 && ((t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= 'a' && t[i] <= 'z')))
                col = col * 26 + ((t[i++] | 0x20) - 'a' + 1);
            const size_t letters = i;
            qint64 row = 0;
            while (i < t.size() && i - letters < 7 && t[i] >= '0' && t[i] <= '9')
                row = row * 10 + (t[i++] - '0');
            if (letters == 0 || i == letters || i != t.size() || row < 1 || row > kGridRows || col > kGridColumns)
                return std::nullopt;
            return std::pair(int(row - 1), col - 1);
        }

        ImportContext& ctx_;
    };

    Parts(ImportContext& ctx, std::vector<PendingName>& names)
        : settings(ctx), strings(ctx), resolver(ctx), names(ctx, names, -1)
    {
    }
    Settings settings;
    Strings strings;
    Resolver resolver;
    ImportNames names;
};

ImportFactory::ImportFactory(ImportContext& ctx)
    : ctx_(ctx), styles_(ctx), parts_(std::make_unique<Parts>(ctx, names_))
{
}

ImportFactory::~ImportFactory() = default;

ss::iface::import_global_settings* ImportFactory::get_global_settings() { return &parts_->settings; }
ss::iface::import_shared_strings* ImportFactory::get_shared_strings() { return &parts_->strings; }
ss::iface::import_named_expression* ImportFactory::get_named_expression() { return &parts_->names; }
ss::iface::import_styles* ImportFactory::get_styles() { return &styles_; }

ss::iface::import_reference_resolver* ImportFactory::get_reference_resolver(ss::formula_ref_context_t)
{
    return &parts_->resolver;
}

ss::iface::import_sheet* ImportFactory::append_sheet(ss::sheet_t, std::string_view name)
{
    ctx_.charge();
    if (sheets_.size() >= size_t(kMaxImportSheets))
        throw ECorruptWorkbook(QStringLiteral("ブックのシートが多すぎます。"));
    const QString given = utf8(name);
    // an .xls sheet name has at most 31 characters, none of []:*?/\, and
    // differs from the others in more than case
    QString fitted = given.left(31);
    for (QChar& c : fitted)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = u'_';
    if (fitted.isEmpty())
        fitted = QStringLiteral("Sheet%1").arg(sheets_.size() + 1);
    auto taken = [&](const QString& n) {
        for (const Sheet& s : ctx_.book.sheets)
            if (s.name.compare(n, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    for (int i = 2; taken(fitted); ++i) {
        const QString tail = QStringLiteral("(%1)").arg(i);
        fitted = fitted.left(31 - tail.size()) + tail;
    }
    if (fitted != given)
        ctx_.leftOut.renamedSheets << QStringLiteral("シート名「%1」は「%2」にしました").arg(given, fitted);
    ctx_.book.addSheet(fitted);
    const int index = int(sheets_.size());
    sheets_.push_back(std::make_unique<ImportSheet>(ctx_, names_, index));
    sheetByName_.insert(given, index);
    ctx_.givenNames << given;
    return sheets_.back().get();
}

ss::iface::import_sheet* ImportFactory::get_sheet(std::string_view name)
{
    ctx_.charge();
    auto it = sheetByName_.find(utf8(name));
    return it == sheetByName_.end() ? nullptr : sheets_[size_t(*it)].get();
}

ss::iface::import_sheet* ImportFactory::get_sheet(ss::sheet_t index)
{
    ctx_.charge();
    return index >= 0 && size_t(index) < sheets_.size() ? sheets_[size_t(index)].get() : nullptr;
}

void ImportFactory::finalize()
{
    if (finalized_)
        return;
    finalized_ = true;
    std::set<size_t> used = {0};
    for (const auto& s : sheets_)
        s->collectFormats(used);
    styles_.build(used);
    const double digit = digitWidth(ctx_.book.fonts.first());
    for (const auto& s : sheets_)
        s->finish(styles_, digit);
    applyNames();
    if (ctx_.book.activeSheet < 0 || ctx_.book.activeSheet >= ctx_.book.sheets.size())
        ctx_.book.activeSheet = 0;
}

void ImportFactory::applyNames()
{
    Workbook& book = ctx_.book;
    for (const PendingName& p : names_) {
        // OpenDocument ranges and expressions both become Excel's text
        QString text = p.text;
        if (ctx_.kind == PackageKind::Ods)
            text = odfToExcelFormula(p.range ? u'[' + text + u']' : text);
        const int code = builtInCode(p.name);
        if (code == 6) {
            // print areas live in each sheet's page setup
            const auto areas = parseAreas(text);
            if (!areas)
                continue;
            for (const Area& a : *areas) {
                int sheet = p.sheet;
                if (!a.sheet.isEmpty())
                    sheet = sheetByName_.value(a.sheet, sheet);
                if (sheet >= 0 && sheet < book.sheets.size())
                    ctx_.addPrintArea(book.sheets[sheet], a.range);
            }
            continue;
        }
        if (code == 13)
            continue; // the hidden name of an auto filter, which is noted already
        DefinedName n;
        n.name = code >= 0 ? QString(QChar(code)) : p.name;
        n.options = code >= 0 ? DefinedName::kBuiltIn : 0;
        n.sheet = p.sheet >= 0 ? p.sheet + 1 : 0;
        n.source = text;
        book.names << n;
    }
}

} // namespace tegaro::sheets
