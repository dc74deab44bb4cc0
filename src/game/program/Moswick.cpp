// Program entry of the game: reads the command line, runs the engine (or the
// effect viewer), and returns its exit code (0 after a normal end, 1 when
// start-up or a frame failed, 2 for a bad command line or input script).
// Nothing escapes it as an abort: an error no layer below caught is logged,
// printed and ends the program with 1.
#include <cstdio>
#include <exception>
#include <memory>

#include "base/OrvLog.h"
#include "base/SFunctions.h"
#include "game/EffectViewer.h"
#include "game/Main.h"
#include "game/PlayRules.h"
#include "shell/ShellInterface.h"

namespace {

int Unexpected(const std::string& what) {
    TOrvLog::Instance().Write("Unexpected error: " + what);
    std::fprintf(stderr, "moswick: unexpected error: %s\n", PrintableText(what).c_str());
    return 1;
}

int Run(int argc, char** argv) {
    TRunOptions run;
    std::string error;
    if (!run.Parse(argc, argv, error)) {
        std::fprintf(stderr, "moswick: %s\n%s\n", PrintableText(error).c_str(), TRunOptions::UsageLine().c_str());
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
    engine.Interface = std::make_unique<TShellInterface>(engine);
    engine.Rules = std::make_unique<TPlayRules>();
    // Caught here, while the engine (and so its log) still exists.
    try {
        return engine.Run();
    } catch (const std::exception& e) {
        return Unexpected(e.what());
    } catch (...) {
        return Unexpected("an error of unknown kind");
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Unexpected(e.what());
    } catch (...) {
        return Unexpected("an error of unknown kind");
    }
}
