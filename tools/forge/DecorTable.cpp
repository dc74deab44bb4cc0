#include "DecorTable.h"

namespace forge {

namespace {

struct TKind {
    const char* Name;
    const char* Prefix;
    int Frames;
    int TimeMs;
};

// Frame counts and pace chosen so each loop reads as a natural motion.
const TKind kKinds[] = {
    {"bird", "DecoBird", 6, 110},  {"star", "DecoStar", 6, 170},    {"smoke", "DecoSmoke", 8, 150},
    {"beam", "DecoBeam", 12, 110}, {"butterfly", "DecoFly", 4, 90}, {"firefly", "DecoGlow", 8, 130},
};

}  // namespace

std::vector<TDecorFrame> DecorFrames(const std::string& kind) {
    std::vector<TDecorFrame> frames;
    for (const TKind& k : kKinds) {
        if (kind != k.Name) continue;
        for (int i = 0; i < k.Frames; ++i)
            frames.push_back(TDecorFrame{std::string(k.Prefix) + std::to_string(i + 1) + ".png", k.TimeMs});
    }
    return frames;
}

std::vector<std::string> DecorKinds() {
    std::vector<std::string> out;
    for (const TKind& k : kKinds) out.push_back(k.Name);
    return out;
}

}  // namespace forge
