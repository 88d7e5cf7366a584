// Tells whether a recording holds sound: reads raw signed 16-bit little-endian samples, prints
// how many there are, the peak and how many are loud, and succeeds when some are.
//   sound_level <file.raw>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sound_level <file.raw>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    // Far above the noise of a silent stream, far below the chime.
    constexpr int kLoud = 1000;
    long samples = 0;
    long loud = 0;
    int peak = 0;
    unsigned char b[2];
    while (in.read(reinterpret_cast<char*>(b), 2)) {
        const int v = std::int16_t(std::uint16_t(b[0] | (b[1] << 8)));
        peak = std::max(peak, std::abs(v));
        loud += std::abs(v) > kLoud ? 1 : 0;
        ++samples;
    }
    std::printf("samples %ld, peak %d, loud %ld\n", samples, peak, loud);
    // A few hundred loud samples: more than a click, a tenth of the chime at most.
    return loud >= 400 ? 0 : 1;
}
