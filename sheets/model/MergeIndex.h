#pragma once
// The merged areas of a sheet, found by row without walking them all.
#include "sheets/model/Workbook.h"

#include <vector>

namespace tegaro::sheets {

class MergeIndex {
public:
    MergeIndex() = default;
    explicit MergeIndex(const QList<Range>& merged);

    // The areas that meet rows first..last and columns first..last.
    QList<Range> within(const Range& block) const;
    // The area holding a cell, or nullptr.
    const Range* at(int row, int col) const;
    bool empty() const { return areas_.empty(); }

private:
    std::vector<Range> areas_;     // by first row
    std::vector<int> reachBefore_; // the furthest last row among areas 0..i
};

} // namespace tegaro::sheets
