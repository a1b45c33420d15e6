#include "DemoDrawing.h"

#include "core/Cp932.h"

#include <QList>
#include <QRect>
#include <QStringList>

namespace tegaro::demo {

namespace {
constexpr int kOrigin = 10;
constexpr int kCell = 45; // one grid step, half a ken
constexpr int kBlack = 0x000000;
constexpr int kBlue = 0xFF0000; // 0x00BBGGRR
constexpr int kRed = 0x0000FF;

struct Line {
    int x1, y1, x2, y2, color, tag;
    QString text;
};

struct Floor {
    QList<Line> lines;
    QList<QRect> rooms;
};

// Splits a w x h block (grid cells) into rooms: one cut across, then the
// wider part cut again; every room is drawn as a box, the walls as lines.
Floor makeFloor(QRandomGenerator& random, int w, int h, const QStringList& names)
{
    Floor f;
    auto px = [](int cells) { return kOrigin + cells * kCell; };
    int cut = 2 + random.bounded(qMax(1, w - 3));
    int cut2 = 2 + random.bounded(qMax(1, h - 3));
    f.rooms << QRect(QPoint(px(0), px(0)), QPoint(px(cut), px(h)))
            << QRect(QPoint(px(cut), px(0)), QPoint(px(w), px(cut2)))
            << QRect(QPoint(px(cut), px(cut2)), QPoint(px(w), px(h)));
    const QList<QPoint> corners{{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
    for (int i = 0; i + 1 < corners.size(); ++i)
        f.lines.append({px(corners[i].x()), px(corners[i].y()), px(corners[i + 1].x()), px(corners[i + 1].y()), kBlack, 1,
                        QStringLiteral("外壁")});
    f.lines.append({px(cut), px(0), px(cut), px(h), kBlack, 2, names.value(0)});
    f.lines.append({px(cut), px(cut2), px(w), px(cut2), kBlack, 2, names.value(1)});
    return f;
}

QString real(double v) { return QString::number(v, 'f', 2); }
} // namespace

QByteArray makeDrawing(QRandomGenerator& random, const DrawingAreas& areas)
{
    int w = 6 + random.bounded(5), h = 5 + random.bounded(4);
    Floor f1 = makeFloor(random, w, h, {QStringLiteral("居間"), QStringLiteral("台所")});
    Floor f2;
    if (areas.floor2 > 0)
        f2 = makeFloor(random, w - 1, h - 1, {QStringLiteral("洋室"), QStringLiteral("和室")});

    QStringList out;
    out << QStringLiteral("$headerpas");
    for (int i = 0; i < 6; ++i)
        out << QString::number(kOrigin);
    out << QString::number(kCell) << QString::number(kCell) << QStringLiteral("木造住宅 平面図")
        << real(areas.floor1) << real(areas.floor2) << real(0) << QStringLiteral("1.82");
    auto lines = [&](const QString& section, const QList<Line>& list, bool full) {
        out << section << QString::number(list.size() - 1);
        for (const Line& l : list) {
            out << QString::number(l.x1) << QString::number(l.y1) << QString::number(l.x2) << QString::number(l.y2)
                << QString::number(l.color);
            if (full)
                out << QString::number(l.tag) << l.text;
        }
    };
    auto boxes = [&](const QString& section, const QList<QRect>& list, int color) {
        out << section << QString::number(list.size() - 1);
        for (const QRect& r : list)
            out << QString::number(r.left()) << QString::number(r.top()) << QString::number(r.right())
                << QString::number(r.bottom()) << QString::number(color);
    };
    lines(QStringLiteral("[1F線]"), f1.lines, true);
    lines(QStringLiteral("[2F線]"), f2.lines, true);
    lines(QStringLiteral("[3F線]"), {}, true);
    // A porch line in front of the house, on floor 1 only.
    lines(QStringLiteral("[補助線]"), {{kOrigin, kOrigin + (h + 1) * kCell, kOrigin + 2 * kCell, kOrigin + (h + 1) * kCell, kRed, 0, {}}},
          false);
    boxes(QStringLiteral("[1F部屋]"), f1.rooms, kBlue);
    boxes(QStringLiteral("[2F部屋]"), f2.rooms, kBlue);
    boxes(QStringLiteral("[3F部屋]"), {}, kBlue);
    out << QStringLiteral("[終]") << QStringLiteral("作成 tegaro-db") << QString() << QString() << QString() << QString()
        << QString();
    return toCp932(out.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

} // namespace tegaro::demo
