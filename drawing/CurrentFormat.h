#pragma once
// The current-format layout, read from any source of values: the file
// scanner or the stored lines. Internal to the readers.
#include "drawing/DrawingModel.h"
#include "drawing/DrawingReaders.h"

namespace tegaro::detail {

// Source: qint32 integer(); double real(); QString text(); void skipText();
// bool hasMore() -- false once a further element can only be made of
// missing values, which ends a list whatever its count line says.
template <class Source>
void readCurrentLayout(DrawingModel& m, Source& src, const DrawingProgress& progress)
{
    m.HeaderOriginX = src.integer();
    m.HeaderOriginY = src.integer();
    m.HeaderValue3 = src.integer();
    m.HeaderValue4 = src.integer();
    m.HeaderValue5 = src.integer();
    m.HeaderValue6 = src.integer();
    m.GridOriginX = m.HeaderOriginX;
    m.GridOriginY = m.HeaderOriginY;
    m.GridStepX = src.real();
    m.GridStepY = src.real();
    src.skipText();
    m.AreaF1 = src.real();
    setAreaText(m, AreaBoxF1, formatAreaText(m.AreaF1));
    m.AreaF2 = src.real();
    setAreaText(m, AreaBoxF2, formatAreaText(m.AreaF2));
    m.AreaF3 = src.real();
    setAreaText(m, AreaBoxF3, formatAreaText(m.AreaF3));
    m.KenLength = src.real();
    setAreaText(m, AreaBoxKen, formatAreaText(m.KenLength));
    setAreaText(m, AreaBoxTotal, formatAreaText(m.AreaF1 + m.AreaF2 + m.AreaF3));

    // The count line holds the index of the last element. The first element
    // is always made (a file that ends early gives one of zeros); later ones
    // only while there is something left to read them from.
    auto readList = [&src](auto& list, auto readOne) {
        list.clear();
        src.skipText();
        const qint64 last = src.integer();
        for (qint64 k = 0; k <= last; ++k) {
            if (k > 0 && !src.hasMore())
                break;
            list.append(readOne());
        }
    };
    auto line = [&src](bool withTag) {
        TLine l;
        l.X1 = src.integer();
        l.Y1 = src.integer();
        l.X2 = src.integer();
        l.Y2 = src.integer();
        l.Color = src.integer();
        if (withTag) {
            l.Tag = src.integer();
            l.Text = src.text();
        }
        return l;
    };
    auto box = [&src] {
        TBox b;
        b.Rect.Left = src.integer();
        b.Rect.Top = src.integer();
        b.Rect.Right = src.integer();
        b.Rect.Bottom = src.integer();
        b.Color = src.integer();
        return b;
    };
    for (TLineList* list : {&m.LinesF1, &m.LinesF2, &m.LinesF3}) {
        readList(*list, [&] { return line(true); });
        progress(30);
    }
    readList(m.ExtraLines, [&] { return line(false); });
    progress(40);
    for (TBoxList* list : {&m.BoxesF1, &m.BoxesF2, &m.BoxesF3}) {
        readList(*list, box);
        progress(60);
    }
    for (int i = 0; i < 7; ++i) // trailer: section line and six texts
        src.skipText();
}

} // namespace tegaro::detail
