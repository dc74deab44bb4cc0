// Program entry of the game: reads the command line, runs the engine (or the
// effect viewer), and returns its exit code (0 after a normal end, 1 when
// start-up or a frame failed, 2 for a bad command line or input script).
#include <cstdio>

#include "game/EffectViewer.h"
#include "game/Main.h"
#include "game/PlayRules.h"

int main(int argc, char** argv) {
    TRunOptions run;
    std::string error;
    if (!run.Parse(argc, argv, error)) {
        std::fprintf(stderr, "moswick: %s\n%s\n", error.c_str(), TRunOptions::UsageLine().c_str());
        return 2;
    }
    if (run.ShowHelp) {
        std::fputs(TRunOptions::HelpText().c_str(), stdout);
        return 0;
    }
    if (run.ShowVersion) {
        std::fputs(TRunOptions::VersionText().c_str(), stdout);
        return 0;
    }
    if (!run.EffectFile.empty()) return RunEffectViewer(TEffectViewerOptions::FromRun(run));
    TOrvGameEngine engine(run);
    engine.Rules = std::make_unique<TPlayRules>();
    return engine.Run();
}
