#include "sheets/package/OdsView.h"

#include "sheets/package/OdsXml.h"
#include "sheets/package/PackageLimits.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <map>

namespace tegaro::sheets {

using namespace ods;

namespace {

using Items = std::map<QString, QString>;

constexpr int kMaxTables = 4096; // entries of the table map kept
constexpr int kMaxItemLength = 256;

// The items that matter here, in the three places they stand: the
// document's settings, the first view, and each table of that view.
struct Settings {
    Items document, view;
    std::map<QString, Items> tables;
};

Settings parse(const QByteArray& data, ImportContext& ctx)
{
    Settings out;
    QXmlStreamReader xml(data);
    // the config:name of each open set, map and map entry
    std::vector<QString> path;
    int views = 0; // entries of the view map seen
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (xml.namespaceUri() == kConfig && !path.empty())
                path.pop_back();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (path.size() >= size_t(kMaxXmlDepth))
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        ctx.charge();
        if (xml.namespaceUri() != kConfig)
            continue;
        const QString name = attr(xml.attributes(), kConfig, u"name").toString();
        if (xml.name() != u"config-item") {
            if (xml.name() == u"config-item-map-entry" && path.size() == 2 && path[1] == u"Views")
                ++views;
            path.push_back(name);
            continue;
        }
        const QString value = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed().left(kMaxItemLength);
        // ooo:view-settings / Views / (first view) / Tables / (table)
        const bool inView = path.size() >= 3 && path[0] == u"ooo:view-settings" && path[1] == u"Views" && views == 1;
        if (path.size() == 1 && path[0] == u"ooo:configuration-settings")
            out.document[name] = value;
        else if (inView && path.size() == 3)
            out.view[name] = value;
        else if (inView && path.size() == 5 && path[3] == u"Tables"
                 && (out.tables.count(path[4]) || int(out.tables.size()) < kMaxTables))
            out.tables[path[4]][name] = value;
    }
    if (xml.hasError())
        throw damaged(QStringLiteral("(部品「settings.xml」%1 行: %2)").arg(xml.lineNumber()).arg(xml.errorString()));
    return out;
}

std::optional<int> number(const Items& items, const char* name)
{
    auto it = items.find(QLatin1String(name));
    if (it == items.end())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = it->second.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return int(std::clamp<qlonglong>(v, -1, 1 << 24));
}

std::optional<bool> flag(const Items& items, const char* name)
{
    auto it = items.find(QLatin1String(name));
    if (it == items.end() || (it->second != u"true" && it->second != u"false"))
        return std::nullopt;
    return it->second == u"true";
}

// The first of the places that states the item.
template <class F>
auto first(F get, std::initializer_list<const Items*> places, const char* name) -> decltype(get(Items(), name))
{
    for (const Items* items : places)
        if (auto v = get(*items, name))
            return v;
    return std::nullopt;
}

int row(const Items& t, const char* name)
{
    return std::clamp(number(t, name).value_or(0), 0, kMaxRows - 1);
}

int column(const Items& t, const char* name)
{
    return std::clamp(number(t, name).value_or(0), 0, kMaxColumns - 1);
}

void setOption(SheetView& v, quint16 bit, std::optional<bool> on)
{
    if (on)
        v.options = *on ? quint16(v.options | bit) : quint16(v.options & ~bit);
}

// `table` is empty for a table the view does not name: what the view and
// the document say still holds for it.
void applyTable(SheetView& v, const Items& table, const Settings& s)
{
    const std::initializer_list<const Items*> places = {&table, &s.view, &s.document};
    if (const auto zoom = first(number, {&table, &s.view}, "ZoomValue"); zoom && *zoom > 0)
        v.zoom = quint16(std::clamp(*zoom, 10, 400));
    setOption(v, SheetView::kGridlines, first(flag, places, "ShowGrid"));
    setOption(v, SheetView::kHeadings, first(flag, places, "HasColumnRowHeaders"));
    setOption(v, SheetView::kZeros, first(flag, places, "ShowZeroValues"));
    if (table.empty())
        return;
    v.activeRow = row(table, "CursorPositionY");
    v.activeCol = column(table, "CursorPositionX");

    // Without a split the rows shown are those of the lower part and the
    // columns those of the left part; a split adds the upper and the right.
    const int hMode = number(table, "HorizontalSplitMode").value_or(0);
    const int vMode = number(table, "VerticalSplitMode").value_or(0);
    const bool frozen = hMode == 2 || vMode == 2;
    const bool split = !frozen && (hMode == 1 || vMode == 1);
    const bool byColumns = frozen ? hMode == 2 : hMode == 1;
    const bool byRows = frozen ? vMode == 2 : vMode == 1;
    const int bottom = row(table, "PositionBottom");
    const int left = column(table, "PositionLeft");
    v.topRow = byRows ? row(table, "PositionTop") : bottom;
    v.leftCol = left;
    v.pane.clear();
    v.options &= ~(SheetView::kFrozen | SheetView::kFrozenNoSplit);
    if (!frozen && !split)
        return;
    int x = 0, y = 0;
    if (frozen) {
        x = byColumns ? column(table, "HorizontalSplitPosition") : 0;
        y = byRows ? row(table, "VerticalSplitPosition") : 0;
        if (x == 0 && y == 0)
            return;
    } else {
        // a split is stored in pixels, an .xls one in twips
        x = byColumns ? std::clamp(number(table, "HorizontalSplitPosition").value_or(0), 0, 4000) * 15 : 0;
        y = byRows ? std::clamp(number(table, "VerticalSplitPosition").value_or(0), 0, 4000) * 15 : 0;
    }
    const int scrollRow = frozen ? std::max(bottom, y) : bottom;
    const int right = byColumns ? column(table, "PositionRight") : left;
    const int scrollCol = frozen ? std::max(right, x) : right;
    const quint8 pane = x && y ? 0 : (x ? 1 : 2);
    v.pane = paneRecord(x, y, scrollRow, scrollCol, pane);
    if (frozen)
        v.options |= SheetView::kFrozen | SheetView::kFrozenNoSplit;
}

} // namespace

void readOdsSettings(const QByteArray& settingsXml, ImportContext& ctx)
{
    if (settingsXml.isEmpty())
        return;
    const Settings s = parse(settingsXml, ctx);
    Workbook& book = ctx.book;
    const Items none;
    for (int i = 0; i < book.sheets.size() && i < ctx.givenNames.size(); ++i) {
        auto it = s.tables.find(ctx.givenNames[i]);
        applyTable(book.sheets[i].view, it == s.tables.end() ? none : it->second, s);
    }
    if (auto active = s.view.find(QStringLiteral("ActiveTable")); active != s.view.end()) {
        const int i = int(ctx.givenNames.indexOf(active->second));
        if (i >= 0 && i < book.sheets.size())
            book.activeSheet = i;
    }
}

} // namespace tegaro::sheets
