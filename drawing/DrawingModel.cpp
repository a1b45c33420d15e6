#include "drawing/DrawingModel.h"

namespace tegaro {

void DrawingModel::ReleaseFloorLists()
{
    switch (CurrentFloor) {
    case 1:
        LinesF1.clear();
        ExtraLines.clear();
        BoxesF1.clear();
        break;
    case 2:
        LinesF2.clear();
        BoxesF2.clear();
        break;
    case 3:
        LinesF3.clear();
        BoxesF3.clear();
        break;
    default:
        break;
    }
}

void DrawingModel::releaseAllLists()
{
    for (TLineList* l : {&LinesF1, &LinesF2, &LinesF3, &ExtraLines})
        l->clear();
    for (TBoxList* b : {&BoxesF1, &BoxesF2, &BoxesF3})
        b->clear();
}

const TLineList* DrawingModel::floorLines(int floor) const
{
    switch (floor) {
    case 1: return &LinesF1;
    case 2: return &LinesF2;
    case 3: return &LinesF3;
    default: return nullptr;
    }
}

const TBoxList* DrawingModel::floorBoxes(int floor) const
{
    switch (floor) {
    case 1: return &BoxesF1;
    case 2: return &BoxesF2;
    case 3: return &BoxesF3;
    default: return nullptr;
    }
}

QString formatAreaText(double value)
{
    return QString::asprintf(" %7.2f", value);
}

void setAreaText(DrawingModel& model, int box, const QString& text)
{
    if (box >= 1 && box <= 5)
        model.AreaTexts[box] = text;
}

void zclear(DrawingModel& model)
{
    for (int box = 1; box <= 5; ++box)
        setAreaText(model, box, QString());
    for (int floor = 1; floor <= 3; ++floor) {
        model.CurrentFloor = floor;
        model.ReleaseFloorLists();
    }
}

} // namespace tegaro
