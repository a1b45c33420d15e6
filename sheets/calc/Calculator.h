#pragma once
// Keeps a workbook's formula results up to date. Built from the workbook
// (cached results stay as the file has them), it is told which cells
// changed and works out exactly the formulas that depend on them, in
// dependency order and across sheets; or all formulas on demand.
#include "sheets/calc/FormulaEvaluator.h"
#include "sheets/model/Workbook.h"

#include <optional>
#include <unordered_map>
#include <vector>

namespace tegaro::sheets {

struct CellAddress {
    int sheet = 0, row = 0, col = 0; // from 0
    bool operator==(const CellAddress&) const = default;
};

struct Recalculation {
    QList<CellAddress> changed;  // formula cells whose value changed
    QList<CellAddress> circular; // cells on circular references, worked out once each
    bool newCircular = false;    // a circular reference not reported before
    int notCalculated = 0;       // formulas with functions this program does not work out
};

class Calculator {
public:
    explicit Calculator(Workbook& book);
    Calculator(const Calculator&) = delete; // it belongs to one workbook
    Calculator& operator=(const Calculator&) = delete;

    // Reads every formula of the book again: after loading or replacing it.
    // The index of who reads what is made when it is first needed, so that
    // a workbook shows before it is made.
    void rebuild();
    // The cells were edited (values typed, formulas entered or cleared):
    // their dependents are worked out again.
    Recalculation cellsChanged(const QList<CellAddress>& cells);
    // Every formula worked out again.
    Recalculation recalculateAll();

    int formulaCount()
    {
        build();
        return int(nodes_.size() - free_.size());
    }
    Evaluator& evaluator() { return evaluator_; }

    // The message for the user about circular references, naming the cells.
    static QString circularMessage(const Workbook& book, const QList<CellAddress>& cells);

private:
    void build(); // the index, when the workbook changed since it was made
    bool stale_ = true;

    struct Node {
        int sheet = 0, row = 0, col = 0; // the cell holding the formula
        Range range;                     // the cells it fills (one, or an array formula's)
        std::shared_ptr<const Program> program;
        bool array = false;
        bool isVolatile = false;
        bool alive = false;
        std::vector<int> listed; // where it is in the index: cell slots, and ranges as -1 - id
    };
    // The formulas that read one cell; most cells have one reader.
    struct Readers {
        int first = -1;
        std::vector<int> more;
        void add(int id);
        void remove(int id);
        template <class F>
        void each(F&& f) const
        {
            if (first >= 0)
                f(first);
            for (int id : more)
                f(id);
        }
    };
    struct RangeEntry {
        CellArea area;
        std::vector<int> nodes;
    };
    // The order to work formulas out in: first those outside any cycle,
    // then the parts on or behind cycles, each worked out once.
    struct Schedule {
        std::vector<int> order;
        std::vector<std::vector<int>> parts;
        std::vector<char> cyclic; // per part
    };

    static quint64 cellKey(int sheet, int row, int col) { return (quint64(sheet) << 32) | (quint64(row) << 16) | quint64(col); }
    void addNode(int sheet, int row, int col);
    void removeNode(int id);
    void listPrecedents(int id, const Program& p, int sheet, int depth);
    void addPrecedent(int id, const CellArea& a);
    int rangeId(const CellArea& a);
    template <class F>
    void dependentsOf(int sheet, int row, int col, F&& f) const;
    template <class F>
    void outputsOf(const Node& n, F&& f) const;
    Schedule schedule(const std::vector<int>& dirty, const std::vector<std::pair<int, int>>& edges) const;
    Recalculation execute(const Schedule& s);
    bool compute(int id, Recalculation& out);
    void endPass();

    Workbook& book_;
    Evaluator evaluator_;
    CellIndex index_; // built for long passes, used while it holds
    std::vector<Node> nodes_;
    std::vector<int> free_;
    std::unordered_map<quint64, int> nodeAt_;   // any cell a formula fills -> its node
    std::vector<Readers> cellDeps_;             // per entry of cellSlot_
    std::unordered_map<quint64, int> cellSlot_; // cell -> entry in cellDeps_
    std::vector<RangeEntry> ranges_;
    std::unordered_map<quint64, int> rangeIndex_;           // an area -> its range entry
    std::unordered_map<quint64, std::vector<int>> buckets_; // sheet, column, block of rows -> ranges
    std::vector<int> bigRanges_;                            // ranges too big for the buckets
    std::vector<int> volatiles_;
    std::vector<quint64> reportedCircular_;
    std::optional<Schedule> everything_; // for recalculateAll, while no formula changes
};

} // namespace tegaro::sheets
