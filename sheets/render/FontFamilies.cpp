#include "sheets/render/FontFamilies.h"

#include "sheets/model/DigitWidth.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>

#include <cmath>
#include <mutex>

namespace tegaro::sheets {

namespace {

const QStringList kGothicP = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                              QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")};
const QStringList kGothic = {QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic"),
                             QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic")};
const QStringList kMinchoP = {QStringLiteral("IPAPMincho"), QStringLiteral("IPAMincho"),
                              QStringLiteral("Noto Serif CJK JP")};
const QStringList kMincho = {QStringLiteral("IPAMincho"), QStringLiteral("IPAPMincho"),
                             QStringLiteral("Noto Serif CJK JP")};

// Windows names as they are written in files (full-width letters too),
// compared after width folding.
const QList<std::pair<QStringList, const QStringList*>>& table()
{
    static const QList<std::pair<QStringList, const QStringList*>> t = {
        {{QStringLiteral("MS Pゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("MS UI Gothic"),
          QStringLiteral("MS UIゴシック"), QStringLiteral("メイリオ"), QStringLiteral("Meiryo"),
          QStringLiteral("Meiryo UI"), QStringLiteral("游ゴシック"), QStringLiteral("Yu Gothic")},
         &kGothicP},
        {{QStringLiteral("MS ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("Osaka-等幅")}, &kGothic},
        {{QStringLiteral("MS P明朝"), QStringLiteral("MS PMincho"), QStringLiteral("游明朝"),
          QStringLiteral("Yu Mincho")},
         &kMinchoP},
        {{QStringLiteral("MS 明朝"), QStringLiteral("MS Mincho")}, &kMincho},
    };
    return t;
}

QString folded(const QString& name)
{
    return name.normalized(QString::NormalizationForm_KC).trimmed();
}

} // namespace

QStringList substituteFamilies(const QString& excelName)
{
    const QString key = folded(excelName);
    for (const auto& [names, families] : table()) {
        for (const QString& n : names) {
            if (key.compare(n, Qt::CaseInsensitive) != 0)
                continue;
            QStringList out = *families;
            if (families == &kMinchoP || families == &kMincho)
                out += kGothicP; // a gothic is better than boxes
            return out;
        }
    }
    return {};
}

void installFontSubstitutes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QStringList installed = QFontDatabase::families();
        auto add = [&](const QString& name) {
            if (installed.contains(name))
                return;
            QStringList present;
            for (const QString& f : substituteFamilies(name))
                if (installed.contains(f))
                    present << f;
            if (!present.isEmpty())
                QFont::insertSubstitutions(name, present);
        };
        for (const auto& [names, families] : table()) {
            for (const QString& n : names) {
                add(n);
                // the full-width spelling files use
                QString wide;
                for (QChar c : n)
                    wide += c.unicode() > 0x20 && c.unicode() < 0x7F ? QChar(c.unicode() + 0xFEE0)
                        : c == u' '                                  ? QChar(0x3000)
                                                                     : c;
                add(wide);
                add(QString(wide).replace(QChar(0x3000), u' '));
            }
        }
    });
}

QFont qtFont(const Font& font, double pixels, int dpi)
{
    installFontSubstitutes();
    QFont f(font.name);
    f.setPointSizeF(std::max(pixels, 0.5) * 72.0 / std::max(dpi, 1));
    f.setBold(font.bold());
    f.setItalic(font.italic());
    f.setStrikeOut(font.strike());
    f.setUnderline(font.underline != 0);
    f.setStyleStrategy(QFont::PreferDefault);
    return f;
}

int maxDigitWidth(const Font& font)
{
    static QHash<QString, int> cache;
    static std::mutex guard; // workbooks are also read beside the window
    const std::lock_guard lock(guard);
    const QString key = font.name + u'/' + QString::number(font.height) + u'/' + QString::number(font.weight);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    installFontSubstitutes();
    QFont f(font.name);
    // the em in whole pixels, as the screen font of that size is made
    f.setPixelSize(std::max(1, int(std::lround(font.height / 15.0))));
    f.setBold(font.bold());
    const QFontMetricsF m(f);
    qreal widest = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d)
        widest = std::max(widest, m.horizontalAdvance(QChar(d)));
    const int width = std::max(1, int(std::lround(widest)));
    cache.insert(key, width);
    return width;
}

namespace {

// Fonts can be measured only in a GUI application.
int measuredDigit(const Font& font)
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? maxDigitWidth(font) : 0;
}

} // namespace

void installDigitMeasure()
{
    setDigitMeasure(&measuredDigit);
}

} // namespace tegaro::sheets
