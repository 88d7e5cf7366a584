#pragma once

// How the alarms play a sound; tests put a recording double in its place.

#include <string>

namespace qcal {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts playing the WAV file and returns at once. A missing or unplayable file, or no
    // audio device, is not reported.
    virtual void Play(const std::string& path) = 0;
};

}  // namespace qcal
