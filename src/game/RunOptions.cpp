// The command line: one table of options. Parse reads it, --help prints it,
// so an option that is added in one row is also documented in one row.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/Main.h"

namespace {

// Sets the option's value into the run's settings; false with a message in
// error when the value is not acceptable. Flags get an empty value.
using TOptionSetter = std::function<bool(TRunOptions&, const std::string& value, std::string& error)>;

struct TCommandOption {
    const char* Name;      // "--frames"
    const char* Argument;  // "N", or "" for a flag
    const char* Help;      // one line
    TOptionSetter Set;
};

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (digit > max || v > (max - digit) / 10) return false;
        v = v * 10 + digit;
    }
    out = v;
    return true;
}

// Row helpers: a text field, an unsigned number up to max, a fixed value.
template <typename T>
TOptionSetter Number(T TRunOptions::*field, uint64_t max) {
    return [field, max](TRunOptions& o, const std::string& v, std::string& error) {
        uint64_t n = 0;
        if (!ParseUnsigned(v, max, n)) {
            error = "bad number \"" + v + "\"";
            return false;
        }
        o.*field = static_cast<T>(n);
        return true;
    };
}

// Every text option is a path: an empty one is a mistake (an unset variable
// in a script), not a request for the default.
TOptionSetter Text(std::string TRunOptions::*field) {
    return [field](TRunOptions& o, const std::string& v, std::string& error) {
        if (v.empty()) {
            error = "empty value";
            return false;
        }
        o.*field = v;
        return true;
    };
}

template <typename T>
TOptionSetter Fixed(T TRunOptions::*field, T value) {
    return [field, value](TRunOptions& o, const std::string&, std::string&) {
        o.*field = value;
        return true;
    };
}

// Every option of the program, in the order --help lists them. Adding an
// option is one row here (and a field in TRunOptions).
const std::vector<TCommandOption>& Options() {
    static const std::vector<TCommandOption> table = {
        {"--help", "", "print this help and exit", Fixed(&TRunOptions::ShowHelp, true)},
        {"--version", "", "print the version and exit", Fixed(&TRunOptions::ShowVersion, true)},
        {"--window", "", "play in a window this time, whatever the options file says",
         Fixed(&TRunOptions::FullScreen, 0)},
        {"--fullscreen", "", "play full screen this time", Fixed(&TRunOptions::FullScreen, 1)},
        {"--data-dir", "DIR", "read the game's data from DIR (searched first)", Text(&TRunOptions::DataDir)},
        {"--write-dir", "DIR", "write the log, options, saves and scores to DIR", Text(&TRunOptions::WriteDir)},
        {"--frames", "N", "quit after N frames", Number(&TRunOptions::Frames, 0xFFFFFFFFull)},
        {"--fixed-step", "MS", "virtual clock advancing MS per frame (deterministic runs)",
         Number(&TRunOptions::FixedStepMs, 60000)},
        {"--seed", "N", "seed of the game's random source",
         [](TRunOptions& o, const std::string& v, std::string& error) {
             if (!Number(&TRunOptions::Seed, UINT64_MAX)(o, v, error)) return false;
             o.HasSeed = true;
             return true;
         }},
        {"--input", "FILE", "feed the timed events of an input script", Text(&TRunOptions::InputFile)},
        {"--screenshot", "FILE", "write the last frame as PNG at the end", Text(&TRunOptions::ScreenshotFile)},
        {"--dump-state", "FILE", "write the game's state as XML at the end", Text(&TRunOptions::DumpStateFile)},
        {"--no-window", "", "run without any window (the screen stays in memory)", Fixed(&TRunOptions::NoWindow, true)},
        {"--start-scene", "N", "play scene N at once, layer after layer, and end after it",
         [](TRunOptions& o, const std::string& v, std::string& error) {
             if (!Number(&TRunOptions::StartScene, 9999)(o, v, error)) return false;
             if (o.StartScene > 0) return true;
             error = "scenes count from 1";
             return false;
         }},
        {"--layer", "L", "with --start-scene: begin at layer L (from 0)", Number(&TRunOptions::StartLayer, 254)},
        {"--mode", "M", "with --start-scene: 1 no-lose, 2 normal (default), 3 hard",
         [](TRunOptions& o, const std::string& v, std::string& error) {
             if (!Number(&TRunOptions::StartMode, 3)(o, v, error)) return false;
             if (o.StartMode > 0) return true;
             error = "the mode is 1, 2 or 3";
             return false;
         }},
        {"--new-game-scene", "N", "the title's new game begins at scene N (at --layer L) and goes on to the end",
         Number(&TRunOptions::NewGameScene, 9999)},
        {"--trace", "FILE", "write one line per rule event of play", Text(&TRunOptions::TraceFile)},
        {"--autoplay", "", "a bot plays through the mouse", Fixed(&TRunOptions::Autoplay, true)},
        {"--games", "N", "with --autoplay from the title: play N whole games, then quit (0: until ended)",
         Number(&TRunOptions::AutoplayGames, 1000000)},
        {"--autoplay-mischief", "MS",
         "--autoplay, and about every MS of game time also save, load, change options, language, display",
         [](TRunOptions& o, const std::string& v, std::string& error) {
             if (!Number(&TRunOptions::MischiefGapMs, 3600000)(o, v, error)) return false;
             if (o.MischiefGapMs == 0) {
                 error = "the time between mischiefs is at least 1 ms";
                 return false;
             }
             o.Autoplay = true;
             return true;
         }},
        {"--endless", "", "with --start-scene: go on with the next scene, play a lost level again",
         Fixed(&TRunOptions::Endless, true)},
        {"--full-redraw", "", "compose the whole frame every frame, not only what changed",
         Fixed(&TRunOptions::FullRedraw, true)},
        {"--form", "NAME", "show the window NAME over the title (may be given again for more)",
         [](TRunOptions& o, const std::string& v, std::string&) {
             o.Forms.push_back(v);
             return true;
         }},
        {"--load", "NAME", "load the saved game \"saves/NAME.sav\" at start, as the load window does",
         Text(&TRunOptions::LoadName)},
        {"--effect", "FILE", "effect viewer: play that particle effect file over and over",
         Text(&TRunOptions::EffectFile)},
        {"--pictures", "DIR", "effect viewer: look for the effect's pictures in DIR first",
         Text(&TRunOptions::PictureDir)},
        {"--backdrop", "FILE", "effect viewer: play the effect over the picture FILE (PNG or JPEG)",
         Text(&TRunOptions::BackdropFile)},
    };
    return table;
}

const TCommandOption* FindOption(const std::string& name) {
    for (const TCommandOption& o : Options())
        if (name == o.Name) return &o;
    return nullptr;
}

}  // namespace

bool TRunOptions::Parse(int argc, const char* const* argv, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const TCommandOption* option = FindOption(arg);
        if (!option) {
            error = "unknown option " + arg;
            return false;
        }
        std::string value;
        if (*option->Argument) {
            if (i + 1 >= argc) {
                error = "missing " + std::string(option->Argument) + " after " + arg;
                return false;
            }
            value = argv[++i];
        }
        std::string why;
        if (!option->Set(*this, value, why)) {
            error = why + " after " + arg;
            return false;
        }
    }
    return true;
}

std::string TRunOptions::UsageLine() {
    return "usage: moswick [OPTION]...  (moswick --help lists them)";
}

std::string TRunOptions::HelpText() {
    std::string text = UsageLine() + "\n";
    text += "Moswick " + std::string(TOrvGameEngine::kVersion) + ", a picture-restoring puzzle.\n\nOptions:\n";
    size_t width = 0;
    for (const TCommandOption& o : Options())
        width = std::max(width, std::string(o.Name).size() + (*o.Argument ? 1 + std::string(o.Argument).size() : 0));
    for (const TCommandOption& o : Options()) {
        std::string left = std::string(o.Name) + (*o.Argument ? " " + std::string(o.Argument) : "");
        left.resize(width + 2, ' ');
        text += "  " + left + o.Help + "\n";
    }
    return text;
}

std::string TRunOptions::VersionText() {
    return "Moswick " + std::string(TOrvGameEngine::kVersion) + "\n";
}
