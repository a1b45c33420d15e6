#include "app/Application.h"

#include "sheets/render/FontFamilies.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace tegaro {

void setupApplication()
{
    QApplication::setApplicationName(QStringLiteral("Tegaro"));
    setupApplicationFont();
    loadQtTranslations();
    sheets::installDigitMeasure();
}

bool loadQtTranslations()
{
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (!qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
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
