#pragma once

// Plays the alarm's WAV file through Qt Multimedia.

#include <memory>

#include "session/SoundPlayer.h"

class QSoundEffect;

namespace qcal {

class QtSoundPlayer final : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    QtSoundPlayer(const QtSoundPlayer&) = delete;
    QtSoundPlayer& operator=(const QtSoundPlayer&) = delete;

    // Starts the file and returns at once; a missing file plays nothing.
    void Play(const std::string& path) override;

private:
    // Made at the first play, so that a program that never sounds an alarm never opens the
    // audio device; kept afterwards, so that a sound still playing is not cut off.
    std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace qcal
