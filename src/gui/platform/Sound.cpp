#include "Sound.h"

#include <QFileInfo>
#include <QUrl>

#ifdef KHUB_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

#include "Text.h"

namespace khub::gui {

bool SoundPlayer::Available() {
#ifdef KHUB_HAVE_MULTIMEDIA
    return true;
#else
    return false;
#endif
}

void SoundPlayer::Play(const std::string& file) {
#ifdef KHUB_HAVE_MULTIMEDIA
    const QString path = ToQt(file);
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    auto* effect = new QSoundEffect(this);
    // The effect lives until it has played or failed to load.
    connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying() && effect->status() != QSoundEffect::Loading)
            effect->deleteLater();
    });
    connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error) effect->deleteLater();
    });
    effect->setSource(QUrl::fromLocalFile(path));
    effect->play();
#else
    (void)file;
#endif
}

}  // namespace khub::gui
