#include "sheets/calc/Calculator.h"

#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tegaro::sheets {

namespace {

constexpr size_t kIndexedPass = 256; // formulas worth indexing the cells for
constexpr int kBlockRows = 64;       // rows a bucket of the range index covers
constexpr int kMaxBuckets = 64;      // a range in more buckets goes to the list of big ones
constexpr int kMaxNameDepth = 16;

quint64 areaKey(const CellArea& a)
{
    return (quint64(a.sheet) << 48) | (quint64(a.firstRow) << 32) | (quint64(a.lastRow) << 16)
        | (quint64(a.firstCol) << 8) | quint64(a.lastCol);
}

quint64 bucketKey(int sheet, int col, int block)
{
    return (quint64(sheet) << 32) | (quint64(col) << 16) | quint64(block);
}

bool sameValue(const Cell& c, CellKind kind, double number, const QString& text)
{
    if (c.result != kind)
        return false;
    if (kind == CellKind::Text)
        return c.text == text;
    return std::memcmp(&c.number, &number, sizeof number) == 0;
}

// Stores a result in a formula cell; true when the cell shows something new.
bool store(Cell& c, const Value& v)
{
    CellKind kind = CellKind::Number;
    double number = 0;
    QString text;
    switch (v.kind) {
    case Value::Number: number = v.number; break;
    case Value::Text:
        kind = CellKind::Text;
        text = v.text;
        break;
    case Value::Boolean:
        kind = CellKind::Boolean;
        number = v.number;
        break;
    case Value::Error:
        kind = CellKind::Error;
        number = v.number;
        break;
    default: break; // empty: 0
    }
    if (sameValue(c, kind, number, text))
        return false;
    c.result = kind;
    c.number = number;
    c.text = text;
    return true;
}

} // namespace

Calculator::Calculator(Workbook& book) : book_(book), evaluator_(book)
{
    rebuild();
}

void Calculator::rebuild()
{
    stale_ = true;
    evaluator_.forgetNames();
}

void Calculator::build()
{
    if (!stale_)
        return;
    stale_ = false;
    nodes_.clear();
    free_.clear();
    nodeAt_.clear();
    cellDeps_.clear();
    cellSlot_.clear();
    ranges_.clear();
    rangeIndex_.clear();
    buckets_.clear();
    bigRanges_.clear();
    volatiles_.clear();
    reportedCircular_.clear();
    everything_.reset();
    evaluator_.forgetNames();
    size_t formulas = 0;
    for (const Sheet& sheet : book_.sheets)
        for (const auto& [key, cell] : sheet.cells())
            formulas += cell.kind == CellKind::Formula;
    nodes_.reserve(formulas);
    nodeAt_.reserve(formulas);
    cellSlot_.reserve(formulas * 2);
    for (int s = 0; s < book_.sheets.size(); ++s)
        for (const auto& [key, cell] : book_.sheets[s].cells())
            if (cell.kind == CellKind::Formula && !nodeAt_.count(cellKey(s, Sheet::rowOf(key), Sheet::colOf(key))))
                addNode(s, Sheet::rowOf(key), Sheet::colOf(key));
}

int Calculator::rangeId(const CellArea& a)
{
    const quint64 key = areaKey(a);
    if (const auto it = rangeIndex_.find(key); it != rangeIndex_.end())
        return it->second;
    const int id = int(ranges_.size());
    ranges_.push_back({a, {}});
    rangeIndex_.emplace(key, id);
    const int firstBlock = a.firstRow / kBlockRows, lastBlock = a.lastRow / kBlockRows;
    if ((lastBlock - firstBlock + 1) * a.cols() > kMaxBuckets) {
        bigRanges_.push_back(id);
    } else {
        for (int col = a.firstCol; col <= a.lastCol; ++col)
            for (int b = firstBlock; b <= lastBlock; ++b)
                buckets_[bucketKey(a.sheet, col, b)].push_back(id);
    }
    return id;
}

void Calculator::Readers::add(int id)
{
    if (first < 0)
        first = id;
    else
        more.push_back(id);
}

void Calculator::Readers::remove(int id)
{
    if (first == id) {
        first = more.empty() ? -1 : more.back();
        if (!more.empty())
            more.pop_back();
        return;
    }
    const auto it = std::find(more.begin(), more.end(), id);
    if (it != more.end())
        more.erase(it);
}

void Calculator::addPrecedent(int id, const CellArea& a)
{
    Node& n = nodes_[size_t(id)];
    if (a.single()) {
        const quint64 key = cellKey(a.sheet, a.firstRow, a.firstCol);
        auto [it, added] = cellSlot_.emplace(key, int(cellDeps_.size()));
        if (added)
            cellDeps_.emplace_back();
        cellDeps_[size_t(it->second)].add(id);
        n.listed.push_back(it->second);
        return;
    }
    const int r = rangeId(a);
    ranges_[size_t(r)].nodes.push_back(id);
    n.listed.push_back(-1 - r);
}

// Every cell and range the program reads, names followed.
void Calculator::listPrecedents(int id, const Program& p, int sheet, int depth)
{
    for (const tegaro::sheets::Node& node : p.nodes) {
        if (node.op == Op::Name && depth < kMaxNameDepth && node.index >= 1 && node.index <= book_.names.size()) {
            const DefinedName& name = book_.names[node.index - 1];
            try {
                TokenInput in;
                in.tokens = name.tokens;
                in.biff = name.biff;
                in.book = &book_;
                listPrecedents(id, decodeTokens(in), sheet, depth + 1);
            } catch (const EFormulaError&) {
                // a name that cannot be read reads no cells
            }
            continue;
        }
        if (node.op != Op::Ref)
            continue;
        const RefOperand& r = p.refs[size_t(node.index)];
        if (r.deleted || r.external)
            continue;
        const int first = r.threeD ? r.firstSheet : sheet, last = r.threeD ? r.lastSheet : sheet;
        for (int s = std::max(first, 0); s <= last && s < book_.sheets.size(); ++s) {
            CellArea a;
            a.sheet = s;
            a.firstRow = std::min(r.firstRow, r.lastRow);
            a.lastRow = std::max(r.firstRow, r.lastRow);
            a.firstCol = std::min(r.firstCol, r.lastCol);
            a.lastCol = std::max(r.firstCol, r.lastCol);
            addPrecedent(id, a);
        }
    }
}

void Calculator::addNode(int sheet, int row, int col)
{
    std::optional<CellFormula> f;
    try {
        f = cellFormula(book_, sheet, row, col);
    } catch (const EFormulaError&) {
        return; // kept as the value it has
    }
    if (!f || f->shape == FormulaShape::TablePart)
        return;
    int id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
        nodes_[size_t(id)] = Node();
    } else {
        id = int(nodes_.size());
        nodes_.emplace_back();
    }
    Node& n = nodes_[size_t(id)];
    n.alive = true;
    n.array = f->shape == FormulaShape::ArrayPart;
    n.sheet = sheet;
    n.row = n.array ? f->anchorRow : row;
    n.col = n.array ? f->anchorCol : col;
    n.range = n.array ? f->range : Range{row, row, col, col};
    n.isVolatile = f->program.isVolatile;
    n.program = std::make_shared<const Program>(std::move(f->program));
    everything_.reset();
    for (int r = n.range.firstRow; r <= n.range.lastRow; ++r)
        for (int c = n.range.firstCol; c <= n.range.lastCol; ++c)
            nodeAt_[cellKey(sheet, r, c)] = id;
    if (n.isVolatile)
        volatiles_.push_back(id);
    const std::shared_ptr<const Program> program = n.program; // n may move as precedents are listed
    listPrecedents(id, *program, sheet, 0);
}

void Calculator::removeNode(int id)
{
    Node& n = nodes_[size_t(id)];
    for (int where : n.listed) {
        if (where >= 0) {
            cellDeps_[size_t(where)].remove(id);
        } else {
            auto& list = ranges_[size_t(-1 - where)].nodes;
            list.erase(std::find(list.begin(), list.end(), id));
        }
    }
    for (int r = n.range.firstRow; r <= n.range.lastRow; ++r)
        for (int c = n.range.firstCol; c <= n.range.lastCol; ++c)
            if (const auto it = nodeAt_.find(cellKey(n.sheet, r, c)); it != nodeAt_.end() && it->second == id)
                nodeAt_.erase(it);
    everything_.reset();
    if (n.isVolatile)
        volatiles_.erase(std::find(volatiles_.begin(), volatiles_.end(), id));
    n = Node();
    free_.push_back(id);
}

template <class F>
void Calculator::dependentsOf(int sheet, int row, int col, F&& f) const
{
    if (const auto it = cellSlot_.find(cellKey(sheet, row, col)); it != cellSlot_.end())
        cellDeps_[size_t(it->second)].each(f);
    auto inRange = [&](int r) {
        const RangeEntry& e = ranges_[size_t(r)];
        if (e.area.contains(sheet, row, col))
            for (int id : e.nodes)
                f(id);
    };
    if (const auto it = buckets_.find(bucketKey(sheet, col, row / kBlockRows)); it != buckets_.end())
        for (int r : it->second)
            inRange(r);
    for (int r : bigRanges_)
        inRange(r);
}

template <class F>
void Calculator::outputsOf(const Node& n, F&& f) const
{
    for (int r = n.range.firstRow; r <= n.range.lastRow; ++r)
        for (int c = n.range.firstCol; c <= n.range.lastCol; ++c)
            f(n.sheet, r, c);
}

Recalculation Calculator::cellsChanged(const QList<CellAddress>& cells)
{
    build();
    evaluator_.forgetNames();
    std::vector<char> dirty(nodes_.size(), 0);
    std::vector<int> order;
    auto markDirty = [&](int id) {
        if (size_t(id) >= dirty.size())
            dirty.resize(nodes_.size(), 0);
        if (dirty[size_t(id)])
            return;
        dirty[size_t(id)] = 1;
        order.push_back(id);
    };
    // the edited cells: formulas typed or cleared there are read again
    for (const CellAddress& a : cells) {
        if (a.sheet < 0 || a.sheet >= book_.sheets.size())
            continue;
        if (const auto it = nodeAt_.find(cellKey(a.sheet, a.row, a.col)); it != nodeAt_.end())
            removeNode(it->second);
        const Cell* c = book_.sheets[a.sheet].cell(a.row, a.col);
        if (c && c->kind == CellKind::Formula) {
            addNode(a.sheet, a.row, a.col);
            if (const auto it = nodeAt_.find(cellKey(a.sheet, a.row, a.col)); it != nodeAt_.end())
                markDirty(it->second);
        }
        dependentsOf(a.sheet, a.row, a.col, markDirty);
    }
    for (int id : volatiles_)
        markDirty(id);
    // a formula marked by an input edited before it, then cleared itself, is gone
    std::erase_if(order, [&](int id) { return !nodes_[size_t(id)].alive; });
    // what reads the dirty formulas is dirty too; the edges give the order
    std::vector<std::pair<int, int>> edges;
    for (size_t k = 0; k < order.size(); ++k) {
        const int u = order[k];
        outputsOf(nodes_[size_t(u)], [&](int s, int r, int c) {
            dependentsOf(s, r, c, [&](int v) {
                markDirty(v);
                edges.emplace_back(u, v);
            });
        });
    }
    return execute(schedule(order, edges));
}

Recalculation Calculator::recalculateAll()
{
    build();
    evaluator_.forgetNames();
    if (!everything_) {
        // the order holds until a formula is added, changed or removed
        std::vector<int> all;
        std::vector<std::pair<int, int>> edges;
        for (int id = 0; id < int(nodes_.size()); ++id) {
            if (!nodes_[size_t(id)].alive)
                continue;
            all.push_back(id);
            outputsOf(nodes_[size_t(id)], [&](int s, int r, int c) {
                dependentsOf(s, r, c, [&](int v) { edges.emplace_back(id, v); });
            });
        }
        everything_ = schedule(all, edges);
    }
    return execute(*everything_);
}

// Works out one formula; true when a cell it fills shows something new.
bool Calculator::compute(int id, Recalculation& out)
{
    const Node& n = nodes_[size_t(id)];
    Sheet& sheet = book_.sheets[n.sheet];
    const bool indexed = evaluator_.indexed();
    const Value v = evaluator_.evaluate(*n.program, n.sheet, n.row, n.col, n.array);
    bool changed = false;
    auto put = [&](int r, int c, const Value& x) {
        Cell* cell = indexed ? index_.find(n.sheet, r, c) : sheet.cell(r, c);
        if (!cell || cell->kind != CellKind::Formula)
            return;
        Value shown = x;
        if (x.isError() && x.errorCode() == err::NotCalculated) {
            ++out.notCalculated;
            if (cell->result != CellKind::Empty)
                return; // the file's own result stays
            shown = Value::error(err::Name);
        }
        if (store(*cell, shown)) {
            out.changed.push_back({n.sheet, r, c});
            changed = true;
        }
    };
    if (!n.array) {
        put(n.row, n.col, v);
        return changed;
    }
    for (int r = n.range.firstRow; r <= n.range.lastRow; ++r) {
        for (int c = n.range.firstCol; c <= n.range.lastCol; ++c) {
            Value x = v;
            if (v.kind == Value::Array) {
                const Matrix& m = *v.matrix;
                const int i = m.rows == 1 ? 0 : r - n.range.firstRow, j = m.cols == 1 ? 0 : c - n.range.firstCol;
                x = i < m.rows && j < m.cols ? m.at(i, j) : Value::error(err::NA);
                if (x.kind == Value::Empty)
                    x = Value::num(0);
            }
            put(r, c, x);
        }
    }
    return changed;
}

// The order for the dirty formulas, each after the ones it reads (Kahn's
// method); what is left lies on or behind a cycle and is split into
// strongly connected parts (Tarjan's, without recursion) in dependency order.
Calculator::Schedule Calculator::schedule(const std::vector<int>& dirty, const std::vector<std::pair<int, int>>& edges) const
{
    Schedule out;
    const size_t count = nodes_.size();
    std::vector<int> indegree(count, 0), start(count + 1, 0), targets(edges.size());
    for (const auto& [u, v] : edges) {
        ++indegree[size_t(v)];
        ++start[size_t(u) + 1];
    }
    for (size_t i = 0; i < count; ++i)
        start[i + 1] += start[i];
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (const auto& [u, v] : edges)
            targets[size_t(fill[size_t(u)]++)] = v;
    }
    // first in, first out: formulas come in the sheet's order, and cells
    // read one after another lie near each other
    std::vector<int>& ready = out.order;
    ready.reserve(dirty.size());
    for (int id : dirty)
        if (indegree[size_t(id)] == 0)
            ready.push_back(id);
    for (size_t next = 0; next < ready.size(); ++next) {
        const int u = ready[next];
        for (int k = start[size_t(u)]; k < start[size_t(u) + 1]; ++k)
            if (--indegree[size_t(targets[size_t(k)])] == 0)
                ready.push_back(targets[size_t(k)]);
    }
    if (ready.size() == dirty.size())
        return out;

    std::vector<int> index(count, -1), low(count, 0), stack;
    std::vector<char> onStack(count, 0);
    int counter = 0;
    for (int root : dirty) {
        if (indegree[size_t(root)] == 0 || index[size_t(root)] >= 0)
            continue;
        std::vector<std::pair<int, int>> walk{{root, start[size_t(root)]}};
        index[size_t(root)] = low[size_t(root)] = counter++;
        stack.push_back(root);
        onStack[size_t(root)] = 1;
        while (!walk.empty()) {
            auto& [u, k] = walk.back();
            if (k < start[size_t(u) + 1]) {
                const int v = targets[size_t(k++)];
                if (indegree[size_t(v)] == 0)
                    continue; // in the order already
                if (index[size_t(v)] < 0) {
                    index[size_t(v)] = low[size_t(v)] = counter++;
                    stack.push_back(v);
                    onStack[size_t(v)] = 1;
                    walk.emplace_back(v, start[size_t(v)]);
                } else if (onStack[size_t(v)]) {
                    low[size_t(u)] = std::min(low[size_t(u)], index[size_t(v)]);
                }
                continue;
            }
            const int finished = u;
            walk.pop_back();
            if (!walk.empty())
                low[size_t(walk.back().first)] = std::min(low[size_t(walk.back().first)], low[size_t(finished)]);
            if (low[size_t(finished)] != index[size_t(finished)])
                continue;
            std::vector<int> part;
            int w;
            do {
                w = stack.back();
                stack.pop_back();
                onStack[size_t(w)] = 0;
                part.push_back(w);
            } while (w != finished);
            bool cyclic = part.size() > 1;
            for (int e = start[size_t(part[0])]; !cyclic && e < start[size_t(part[0]) + 1]; ++e)
                cyclic = targets[size_t(e)] == part[0];
            std::sort(part.begin(), part.end(), [&](int a, int b) {
                const Node &x = nodes_[size_t(a)], &y = nodes_[size_t(b)];
                return std::tie(x.sheet, x.row, x.col) < std::tie(y.sheet, y.row, y.col);
            });
            out.parts.push_back(std::move(part));
            out.cyclic.push_back(cyclic);
        }
    }
    // Tarjan finds the parts that read others first
    std::reverse(out.parts.begin(), out.parts.end());
    std::reverse(out.cyclic.begin(), out.cyclic.end());
    return out;
}

// Works the formulas out in the schedule's order. Formulas on a cycle are
// worked out once each, reading what the others held, and reported.
Recalculation Calculator::execute(const Schedule& s)
{
    Recalculation out;
    const bool indexed = index_.current(book_) || s.order.size() + s.parts.size() >= kIndexedPass;
    if (indexed && !index_.current(book_))
        index_.build(book_);
    evaluator_.beginPass(indexed ? &index_ : nullptr);
    for (int id : s.order)
        compute(id, out);
    for (size_t p = 0; p < s.parts.size(); ++p) {
        for (int id : s.parts[p]) {
            compute(id, out);
            if (!s.cyclic[p])
                continue;
            const Node& n = nodes_[size_t(id)];
            out.circular.push_back({n.sheet, n.row, n.col});
            const quint64 key = cellKey(n.sheet, n.row, n.col);
            if (std::find(reportedCircular_.begin(), reportedCircular_.end(), key) == reportedCircular_.end()) {
                reportedCircular_.push_back(key);
                out.newCircular = true;
            }
        }
    }
    endPass();
    return out;
}

void Calculator::endPass()
{
    evaluator_.endPass();
}

QString Calculator::circularMessage(const Workbook& book, const QList<CellAddress>& cells)
{
    QStringList names;
    for (const CellAddress& a : cells.mid(0, 5)) {
        const QString sheet = a.sheet >= 0 && a.sheet < book.sheets.size() ? book.sheets[a.sheet].name : QString();
        names << sheet + u'!' + cellName(a.row, a.col);
    }
    if (cells.size() > 5)
        names << QStringLiteral("ほか %1 セル").arg(cells.size() - 5);
    return QStringLiteral("循環参照があります（%1）。数式が自分の結果を参照しているため、これらのセルの値は正しくありません。")
        .arg(names.join(QStringLiteral("、")));
}

} // namespace tegaro::sheets
