#include "app/Application.h"

#include "sheets/render/FontFamilies.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace tegaro {

void setupApplication()
{
    QApplication::setApplicationName(QStringLiteral("Tegaro"));
    setupApplicationFont();
    sheets::installDigitMeasure();
}

void setupApplicationFont()
{
    const QString family = QStringLiteral("ＭＳ Ｐゴシック");
    QStringList fallbacks;
    const QStringList installed = QFontDatabase::families();
    for (const QString& candidate : {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                     QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")}) {
        if (installed.contains(candidate))
            fallbacks << candidate;
    }
    if (!installed.contains(family) && !fallbacks.isEmpty())
        QFont::insertSubstitutions(family, fallbacks);
    QFont font(family);
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::PreferDefault);
    QApplication::setFont(font);
}

} // namespace tegaro
