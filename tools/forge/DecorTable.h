// The animated decorations a scene may place ("Pictures" of a scene file):
// each kind is a short loop of frame pictures with their times.
#pragma once

#include <string>
#include <vector>

namespace forge {

struct TDecorFrame {
    std::string Picture;
    int TimeMs = 0;
};

// The frames of a decoration kind ("bird", "star", "smoke", "beam",
// "butterfly", "firefly"); empty for an unknown kind.
std::vector<TDecorFrame> DecorFrames(const std::string& kind);
// Every known kind, in a fixed order.
std::vector<std::string> DecorKinds();

}  // namespace forge
