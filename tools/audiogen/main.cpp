// audiogen: makes the game's sounds and music. Usage:
//   audiogen OUTDIR [SCOREDIR]
// writes every sound effect as Ogg Vorbis, every score of SCOREDIR (default:
// the project's data/music) as a tracker module, and the lists
// "sounds.dat" and "musics.dat" naming them, into OUTDIR, and removes
// whatever else OUTDIR holds (the leftovers of scores since renamed). The
// same sources always give the same bytes.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Instruments.h"
#include "Score.h"
#include "SoundRecipes.h"
#include "XmWriter.h"
#include "base/FileReader.h"
#include "base/OrvStream.h"
#include "platform/OggEncoder.h"

#ifndef MOSWICK_AUDIO_SCORES
#define MOSWICK_AUDIO_SCORES "data/music"
#endif

namespace {

// The main module is listed first: the game starts it at once.
constexpr const char* MainMusic = "vibe-hah.mo3";

int StreamSerial(const std::string& name) {
    uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ uint8_t(c)) * 16777619u;
    return int(h & 0x7FFFFFFF);
}

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    if (WriteFileAtomically(path.string(), bytes.data(), bytes.size())) return true;
    std::fprintf(stderr, "audiogen: cannot write %s\n", path.string().c_str());
    return false;
}

bool WriteList(const std::filesystem::path& path, const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += n + "\r\n";
    return Write(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

int RunAudiogen(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: audiogen OUTDIR [SCOREDIR]\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::filesystem::path scores = argc > 2 ? argv[2] : MOSWICK_AUDIO_SCORES;
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "audiogen: cannot create %s\n", out.string().c_str());
        return 1;
    }

    std::vector<std::string> soundNames;
    for (const TSoundRecipe& sound : MakeSounds()) {
        std::vector<uint8_t> ogg = EncodeOggVorbis(sound.Pcm, 1, 44100, 0.5f, StreamSerial(sound.File));
        if (ogg.empty()) {
            std::fprintf(stderr, "audiogen: cannot encode %s\n", sound.File.c_str());
            return 1;
        }
        if (!Write(out / sound.File, ogg)) return 1;
        soundNames.push_back(sound.File);
    }
    if (!WriteList(out / "sounds.dat", soundNames)) return 1;

    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(scores, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
    if (ec || files.empty()) {
        std::fprintf(stderr, "audiogen: no scores in %s\n", scores.string().c_str());
        return 1;
    }
    std::sort(files.begin(), files.end());

    const std::vector<TXmInstrument> instruments = MakeInstruments();
    std::vector<std::string> musicNames;
    for (const auto& file : files) {
        std::string text;
        std::string error;
        if (!TryReadFile(file.string(), text, error)) {
            std::fprintf(stderr, "audiogen: %s\n", error.c_str());
            return 1;
        }
        try {
            TScore score = ParseScore(text, file.filename().string());
            std::vector<uint8_t> xm = WriteXm(ComposeScore(score, instruments));
            if (!Write(out / score.File, xm)) return 1;
            musicNames.push_back(score.File);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "audiogen: %s\n", e.what());
            return 1;
        }
    }
    std::stable_partition(musicNames.begin(), musicNames.end(), [](const std::string& n) { return n == MainMusic; });
    if (!WriteList(out / "musics.dat", musicNames)) return 1;
    // The folder is the tool's own: what an earlier run wrote for a score or
    // sound that is gone (renamed, removed) would otherwise be packed into
    // the archive with the rest.
    std::vector<std::string> made = soundNames;
    made.insert(made.end(), musicNames.begin(), musicNames.end());
    made.push_back("sounds.dat");
    made.push_back("musics.dat");
    for (const auto& entry : std::filesystem::directory_iterator(out, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && std::find(made.begin(), made.end(), name) == made.end())
            std::filesystem::remove(entry.path(), ec);
    }
    return 0;
}

int main(int argc, char** argv) {
    try {
        return RunAudiogen(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "audiogen: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "audiogen: an error of unknown kind\n");
    }
    return 1;
}
