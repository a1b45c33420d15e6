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

    Parts(ImportContext& ctx, std::vector<PendingName>& names)
        : settings(ctx), names(ctx, names, -1)
    {
    }
    Settings settings;
    ImportNames names;
};

ImportFactory::ImportFactory(ImportContext& ctx)
    : ctx_(ctx), styles_(ctx), parts_(std::make_unique<Parts>(ctx, names_))
{
}

ImportFactory::~ImportFactory() = default;

ss::iface::import_global_settings* ImportFactory::get_global_settings() { return &parts_->settings; }
ss::iface::import_named_expression* ImportFactory::get_named_expression() { return &parts_->names; }
ss::iface::import_styles* ImportFactory::get_styles() { return &styles_; }

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
