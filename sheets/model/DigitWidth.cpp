#include "sheets/model/DigitWidth.h"

#include <algorithm>
#include <atomic>

namespace tegaro::sheets {

namespace {

std::atomic<DigitMeasure> digitMeasure{nullptr};

} // namespace

void setDigitMeasure(DigitMeasure measure)
{
    digitMeasure = measure;
}

double digitWidth(const Font& font)
{
    if (const DigitMeasure measure = digitMeasure.load())
        if (const int pixels = measure(font); pixels > 0)
            return pixels * 0.75;
    // how wide a digit is in the fonts that set a workbook's column unit,
    // as a share of the font size
    const QString name = font.name.toLower();
    double share = 0.55;
    if (name.contains(QLatin1String("dejavu sans")))
        share = 0.636;
    else if (name.contains(QLatin1String("liberation sans")) || name.contains(QLatin1String("arial"))
             || name.contains(QLatin1String("helvetica")))
        share = 0.556;
    else if (name.contains(QLatin1String("calibri")) || name.contains(QLatin1String("carlito")))
        share = 0.507;
    else if (name.contains(QStringLiteral("ゴシック")) || name.contains(QStringLiteral("明朝"))
             || name.contains(QLatin1String("gothic")) || name.contains(QLatin1String("mincho"))
             || name.contains(QLatin1String("ipa")) || name.contains(QLatin1String("serif")))
        share = 0.5;
    return std::max(1, int(font.height)) / 20.0 * share;
}

} // namespace tegaro::sheets
