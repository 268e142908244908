// Writes a generated access log: bench-log_generator STYLE LINES FILE [SEED]
// STYLE is common, combined, cookie-end, cookie-begin or w3c.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "LogGenerator.h"

int main(int argc, char** argv) {
    using namespace logvane::bench;
    log_style_t style;
    if (argc < 4 || !StyleFromName(argv[1], style)) {
        std::fprintf(stderr,
                     "usage: %s common|combined|cookie-end|cookie-begin|w3c LINES FILE [SEED]\n",
                     argv[0]);
        return 2;
    }
    std::uint64_t lines = std::strtoull(argv[2], nullptr, 10);
    std::uint64_t seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 0x5eed;
    CLogGenerator generator(seed);
    std::uint64_t bytes = generator.WriteFile(argv[3], style, lines);
    if (bytes == 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%llu lines, %llu bytes\n", static_cast<unsigned long long>(lines),
                static_cast<unsigned long long>(bytes));
    return 0;
}
