#pragma once
// The house drawing held by the main window: line segments and boxes for up
// to three floors, the header values read with them and the display state.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace tegaro {

// Colours are Windows colour values, 0x00BBGGRR.
struct TLine {
    qint32 X1 = 0;
    qint32 Y1 = 0;
    qint32 X2 = 0;
    qint32 Y2 = 0;
    qint32 Color = 0;
    qint32 Tag = 0;
    QString Text;
    bool operator==(const TLine&) const = default;
};

struct TRect {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;
    bool operator==(const TRect&) const = default;
};

struct TBox {
    TRect Rect;
    qint32 Color = 0;
    bool operator==(const TBox&) const = default;
};

using TLineList = QList<TLine>;
using TBoxList = QList<TBox>;

// The area boxes of the drawing page, numbered like their edit boxes.
enum AreaBox {
    AreaBoxF1 = 1,
    AreaBoxF2 = 2,
    AreaBoxF3 = 3,
    AreaBoxKen = 4,
    AreaBoxTotal = 5
};

struct DrawingModel {
    TLineList LinesF1, LinesF2, LinesF3;
    TLineList ExtraLines; // drawn on floor 1 only
    TBoxList BoxesF1, BoxesF2, BoxesF3;

    qint32 HeaderOriginX = 10;
    qint32 HeaderOriginY = 10;
    qint32 HeaderValue3 = 10;
    qint32 HeaderValue4 = 10;
    qint32 HeaderValue5 = 10;
    qint32 HeaderValue6 = 10;
    double GridStepX = 50.0 * 0.9;
    double GridStepY = 50.0 * 0.9;
    double AreaF1 = 0.0;
    double AreaF2 = 0.0;
    double AreaF3 = 0.0;
    double KenLength = 0.0;

    qint32 GridOriginX = 10;
    qint32 GridOriginY = 10;
    int CurrentFloor = 1;
    double Zoom = 0.5;

    QByteArray DrawingBuffer;       // bytes of the last desktop drop
    QStringList StoredDrawingLines; // the stored drawing, one entry per line

    // Texts of the area boxes 1..5 as last shown (index 0 unused).
    std::array<QString, 6> AreaTexts;

    // Empties the lists of CurrentFloor; any other floor value empties nothing.
    void ReleaseFloorLists();
    void releaseAllLists();

    // The lists drawn on a floor, in drawing order; null for a floor out of range.
    const TLineList* floorLines(int floor) const;
    const TBoxList* floorBoxes(int floor) const;
};

// " %7.2f", the form of every area box.
QString formatAreaText(double value);

// Keeps the text of an area box (1..5) for the page to show.
void setAreaText(DrawingModel& model, int box, const QString& text);

// Clears the lists of all floors and the area texts and leaves CurrentFloor
// at 3. Values and zoom are kept. The page then redraws and empties the
// drawing field.
void zclear(DrawingModel& model);

} // namespace tegaro
