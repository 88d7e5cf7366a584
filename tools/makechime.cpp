// Build step: writes the delivered alarm sound, a short two-note chime, as a WAV file
// (44.1 kHz, 16-bit, mono PCM).
// Usage: qcal_makechime play.wav

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 1.1;
constexpr double kFadeSeconds = 0.15;
constexpr double kPeak = 0.7;  // of full scale: loud enough, far from clipping

// One struck note: a fundamental with two softer overtones, each dying away at its own pace.
struct Strike {
    double start;  // seconds
    double frequency;
    double gain;
};

double Note(const Strike& s, double t) {
    if (t < s.start) {
        return 0;
    }
    const double u = t - s.start;
    struct Partial {
        double ratio, gain, decay;
    };
    static constexpr Partial kPartials[] = {{1.0, 1.0, 3.2}, {2.0, 0.35, 6.0}, {3.0, 0.12, 9.0}};
    const double attack = std::min(1.0, u / 0.004);  // 4 ms onset, no click
    double sum = 0;
    for (const Partial& p : kPartials) {
        sum += p.gain * std::exp(-p.decay * u) *
               std::sin(2 * std::numbers::pi * s.frequency * p.ratio * u);
    }
    return s.gain * attack * sum;
}

std::vector<std::int16_t> Chime() {
    // E6 then C6, a falling major third.
    const Strike strikes[] = {{0.0, 1318.51, 1.0}, {0.22, 1046.50, 0.9}};
    const int count = int(kSeconds * kRate);
    std::vector<double> wave(std::size_t(count), 0.0);
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        for (const Strike& s : strikes) {
            wave[std::size_t(i)] += Note(s, t);
        }
    }
    // The tail fades to silence along a raised cosine.
    const int fade = int(kFadeSeconds * kRate);
    for (int i = 0; i < fade; ++i) {
        const double x = double(i) / fade;
        wave[std::size_t(count - fade + i)] *= 0.5 * (1 + std::cos(std::numbers::pi * x));
    }
    double peak = 0;
    for (double v : wave) {
        peak = std::max(peak, std::abs(v));
    }
    std::vector<std::int16_t> samples(wave.size());
    for (std::size_t i = 0; i < wave.size(); ++i) {
        samples[i] = std::int16_t(std::lround(wave[i] / peak * kPeak * 32767));
    }
    return samples;
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += char((value >> (8 * i)) & 0xFF);
    }
}

std::string Wav(const std::vector<std::int16_t>& samples) {
    const auto dataBytes = std::uint32_t(samples.size() * 2);
    std::string out;
    out += "RIFF";
    PutLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);         // fmt chunk size
    PutLe(out, 1, 2);          // PCM
    PutLe(out, 1, 2);          // mono
    PutLe(out, kRate, 4);      // sample rate
    PutLe(out, kRate * 2, 4);  // bytes per second
    PutLe(out, 2, 2);          // bytes per frame
    PutLe(out, 16, 2);         // bits per sample
    out += "data";
    PutLe(out, dataBytes, 4);
    for (std::int16_t s : samples) {
        PutLe(out, std::uint16_t(s), 2);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s play.wav\n", argv[0]);
        return 2;
    }
    const std::string target = argv[1];
    const std::string temp = target + ".tmp";
    const std::string wav = Wav(Chime());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(wav.data(), std::streamsize(wav.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", temp.c_str());
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "cannot move %s into place\n", temp.c_str());
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
