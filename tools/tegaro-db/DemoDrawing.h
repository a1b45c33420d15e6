#pragma once
// House drawings for the demo records, in the current ".hbd" text format.
#include <QByteArray>
#include <QRandomGenerator>

namespace tegaro::demo {

struct DrawingAreas {
    double floor1 = 0;
    double floor2 = 0;
};

// A plan of a few rooms on floors 1 and 2 (floor 2 empty when floor2 is 0):
// CP932 text with CR LF line ends.
QByteArray makeDrawing(QRandomGenerator& random, const DrawingAreas& areas);

} // namespace tegaro::demo
