#include "widgets/ClickSound.h"

#include <QCoreApplication>
#include <QSoundEffect>
#include <QUrl>

namespace tegaro {

static int clicks = 0;

void playClick()
{
    ++clicks;
    // Loaded once and kept: the sample stays in memory, so the click sounds
    // at once.
    static QSoundEffect* effect = [] {
        auto* e = new QSoundEffect(QCoreApplication::instance());
        e->setSource(QUrl(QStringLiteral("qrc:/sounds/klik.wav")));
        e->setVolume(0.6f);
        return e;
    }();
    effect->play();
}

int clickCount() { return clicks; }

} // namespace tegaro
