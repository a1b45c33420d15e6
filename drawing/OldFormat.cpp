#include "drawing/OldFormat.h"

#include "core/Cp932.h"
#include "drawing/DrawingErrors.h"
#include "drawing/DrawingReaders.h"
#include "drawing/DrawingTextScanner.h"
#include "drawing/NumberText.h"

#include <cmath>

namespace tegaro::detail {

namespace {

// The old program read its lines into a buffer of this size.
constexpr qsizetype kMaxOldLine = 65535;

class OldLines {
public:
    explicit OldLines(DrawingTextScanner& s) : s_(s) {}

    void skip() { next(); }
    QStringList fields()
    {
        const QString line = next();
        return SplitFields(line);
    }
    qint32 integerLine()
    {
        const QString line = next();
        return convertInteger(line, line_);
    }

    qint32 integer(const QStringList& f, qsizetype i) const { return convertInteger(field(f, i), line_); }
    double real(const QStringList& f, qsizetype i) const { return convertReal(field(f, i), line_); }
    const QString& field(const QStringList& f, qsizetype i) const
    {
        if (i < 0 || i >= f.size())
            throw EListError(QStringLiteral("図面の %1 行目に %2 番目の項目がありません（項目数 %3）")
                                 .arg(line_)
                                 .arg(i + 1)
                                 .arg(f.size()));
        return f[i];
    }

private:
    QString next()
    {
        line_ = s_.lineNumber();
        return RemoveQuotes(fromCp932(s_.readLine(kMaxOldLine)));
    }
    DrawingTextScanner& s_;
    int line_ = 0;
};

// Coordinates and the origin are stored in tenths.
qint32 tenths(qint32 v) { return v / 10; }

// Steps are stored in hundreds of units; halves go to the even neighbour.
double hundreds(double v) { return std::nearbyint(v * 100.0); }

TLine oldSegment(const OldLines& in, const QStringList& f, qsizetype first)
{
    TLine l;
    l.X1 = tenths(in.integer(f, first));
    l.Y1 = tenths(in.integer(f, first + 1));
    l.X2 = tenths(in.integer(f, first + 2));
    l.Y2 = tenths(in.integer(f, first + 3));
    l.Color = 0x00FF00;
    l.Tag = 0;
    l.Text = in.field(f, first + 4);
    return l;
}

} // namespace

void readOldLayout(DrawingModel& m, DrawingTextScanner& scanner, const DrawingProgress& progress)
{
    OldLines in(scanner);
    const QStringList areas = in.fields();
    m.AreaF1 = in.real(areas, 1);
    setAreaText(m, AreaBoxF1, formatAreaText(m.AreaF1));
    m.AreaF2 = in.real(areas, 2);
    setAreaText(m, AreaBoxF2, formatAreaText(m.AreaF2));
    m.AreaF3 = 0.0;
    setAreaText(m, AreaBoxF3, formatAreaText(m.AreaF3));
    m.KenLength = in.real(areas, 3);
    setAreaText(m, AreaBoxKen, formatAreaText(m.KenLength));
    setAreaText(m, AreaBoxTotal, formatAreaText(m.AreaF1 + m.AreaF2));

    in.skip();
    const QStringList grid = in.fields();
    m.GridOriginX = tenths(in.integer(grid, 0));
    m.GridOriginY = tenths(in.integer(grid, 1));
    m.GridStepY = hundreds(in.real(grid, 2));
    m.GridStepX = hundreds(in.real(grid, 3));

    in.skip();
    const qint16 last1 = qint16(quint16(in.integerLine()));
    in.skip();
    const QStringList floor1 = in.fields();
    m.LinesF1.clear();
    for (qint64 k = 0; k <= last1; ++k)
        m.LinesF1.append(oldSegment(in, floor1, 5 * k));
    progress(60);

    const qint16 last2 = qint16(quint16(in.integerLine()));
    in.skip();
    const QStringList floor2 = in.fields();
    m.LinesF2.clear();
    if (last2 >= 0 && last2 <= 32765)
        for (qint64 k = 0; k <= last2; ++k)
            m.LinesF2.append(oldSegment(in, floor2, 5 * k + 2));
}

} // namespace tegaro::detail
