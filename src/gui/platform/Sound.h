#pragma once
// Plays a WAVE file without waiting for it. Without an audio device, or in a build
// without Qt Multimedia, nothing plays and nothing complains.

#include <QObject>
#include <string>

namespace khub::gui {

class SoundPlayer : public QObject {
    Q_OBJECT
  public:
    explicit SoundPlayer(QObject* parent = nullptr) : QObject(parent) {}
    void Play(const std::string& file);
    static bool Available();
};

}  // namespace khub::gui
