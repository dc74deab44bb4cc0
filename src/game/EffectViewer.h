// The effect viewer: `moswick --effect FILE` loads one particle effect file
// and plays it over and over at the centre of the screen, so an effect can be
// tried while it is being written. With --frames N it stops by itself and
// with --screenshot OUT.png it writes the last frame, so it also runs
// headless (SDL_VIDEODRIVER=dummy, or --no-window). In a window a click
// moves the effect there and starts it again, Space restarts it, Esc quits.
#pragma once

#include <cstdint>
#include <string>

struct TRunOptions;

struct TEffectViewerOptions {
    std::string EffectFile;
    uint32_t Frames = 0;         // stop after this many frames (0: until closed)
    uint32_t FixedStepMs = 0;    // virtual clock step per frame (0: real clock, or 20 without a window)
    uint64_t Seed = 1;           // random source of the effect's ranges
    std::string ScreenshotFile;  // the last frame as PNG
    std::string PictureDir;      // where the pictures are looked for first (default: the file's folder)
    std::string BackdropFile;    // a picture under the effect, its top left at the screen's (default: a dim gradient)
    bool NoWindow = false;

    // Reads the viewer's command line (--effect FILE [--frames N]
    // [--fixed-step MS] [--seed N] [--screenshot FILE] [--pictures DIR]
    // [--backdrop FILE] [--no-window]) through the program's option table. False with a
    // message in error for a bad option or value, or without --effect.
    bool Parse(int argc, const char* const* argv, std::string& error);
    // The viewer's part of a parsed command line (options the viewer does
    // not use are ignored; no seed given means seed 1).
    static TEffectViewerOptions FromRun(const TRunOptions& run);
};

// What a viewer run saw, for the caller and for tests.
struct TEffectViewerResult {
    uint32_t Frames = 0;
    uint32_t Finishes = 0;  // how often the effect ended and was restarted
    int32_t PeakParticles = 0;
    uint32_t LitPixels = 0;  // pixels of the last frame brighter than the backdrop
};

// True when the command line asks for the viewer (it holds "--effect").
bool IsEffectViewerCommand(int argc, const char* const* argv);

// Runs the viewer. Returns 0 after a normal end, 1 when the effect or the
// backdrop picture cannot be loaded, the effect cannot be started or the
// screen cannot be set up. Messages go to stderr, a
// one-line summary to stdout.
int RunEffectViewer(const TEffectViewerOptions& options, TEffectViewerResult* result = nullptr);
