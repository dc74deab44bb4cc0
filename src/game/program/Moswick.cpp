// Program entry of the game: reads the command line, runs the engine, and
// returns its exit code (0 after a normal end, 1 when start-up or a frame
// failed, 2 for a bad command line or input script).
#include <cstdio>

#include "game/EffectViewer.h"
#include "game/Main.h"
#include "game/PlayRules.h"

int main(int argc, char** argv) {
    if (IsEffectViewerCommand(argc, argv)) return RunEffectViewer(argc, argv);
    TRunOptions run;
    std::string error;
    if (!run.Parse(argc, argv, error)) {
        std::fprintf(
            stderr,
            "moswick: %s\n"
            "usage: moswick [--window|--fullscreen] [--frames N] [--fixed-step MS] [--seed N]\n"
            "               [--input FILE] [--screenshot FILE] [--data-dir DIR] [--write-dir DIR]\n"
            "               [--no-window] [--dump-state FILE] [--trace FILE] [--autoplay]\n"
            "               [--start-scene N [--layer L] [--mode M]]\n"
            "       moswick --effect FILE [--frames N] [--fixed-step MS] [--screenshot FILE] (effect viewer)\n",
            error.c_str());
        return 2;
    }
    TOrvGameEngine engine(run);
    engine.Rules = std::make_unique<TPlayRules>();
    return engine.Run();
}
