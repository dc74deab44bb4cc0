// forge: builds the game's data. Usage:
//   forge --data DIR [--audio DIR] --out DIR [--stamp FILE]   build everything
//   forge --data DIR --check                                  check the levels only
//   forge --data DIR --sheet FILE.png                         contact sheet of the scenes
//   forge --data DIR --dump DIR                               every stored picture as a file
//   forge --data DIR --lattice N                              scene N's objects on the lattice
//   forge --data DIR --propose N:LAYERS                       a regions map for scene N
//   forge --data DIR --finished DIR                           every scene restored, full size, and half way
//   forge --data DIR --forms DIR                              a picture of every window
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Forge.h"
#include "ForgeCheck.h"
#include "IconArt.h"
#include "InterfacePreview.h"
#include "Raster.h"
#include "RegionPlanner.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "render/PictureCodec.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: forge --data DIR [--audio DIR] [--out DIR] [--stamp FILE] [--check] [--sheet FILE.png] "
                 "[--dump DIR] [--forms DIR]\n");
    return 2;
}

// Writes the pictures as the game will see them once prepared: packed pairs
// joined into PNG, JPEG pictures as they are. Composed pictures are skipped.
void Dump(const forge::TContentBuild& build, const std::string& dir) {
    std::filesystem::create_directories(dir);
    // Small pictures also go on one overview sheet over a mid grey.
    TCanvas sheet(1400, 2400, Rgb(96, 96, 104));
    int sx = 4, sy = 4, rowH = 0;
    for (const forge::TArchiveEntry& e : build.Entries()) {
        size_t dot = e.Name.find('.');
        std::string base = e.Name.substr(0, dot), ext = dot == std::string::npos ? "" : e.Name.substr(dot + 1);
        if (ext == "_JPG") {
            const forge::TArchiveEntry* alpha = build.FindEntry(base + "._PNG");
            TPicture rgb = DecodeJPEG(e.Bytes.data(), e.Bytes.size());
            TPicture a = DecodePNG(alpha->Bytes.data(), alpha->Bytes.size());
            TPicture out = ConvertChannels(rgb, 4);
            for (int32_t i = 0; i < out.Width * out.Height; ++i) out.Pixels[size_t(i) * 4 + 3] = a.Pixels[size_t(i)];
            SavePNGFile(dir + "/" + base + ".png", out);
            if (out.Width > 1400 || out.Height > 300) continue;
            if (sx + out.Width > 1396) {
                sx = 4;
                sy += rowH + 4;
                rowH = 0;
            }
            if (sy + out.Height > 2396) continue;
            for (int32_t y = 0; y < out.Height; ++y)
                for (int32_t x = 0; x < out.Width; ++x) {
                    const uint8_t* p = out.Row(y) + 4 * x;
                    sheet.Blend(sx + x, sy + y, Rgb(p[0], p[1], p[2]), p[3] / 255.0f);
                }
            sx += out.Width + 4;
            rowH = std::max(rowH, int(out.Height));
        } else if (ext == "jpg") {
            if (!WriteFileAtomically(dir + "/" + e.Name, e.Bytes.data(), e.Bytes.size()))
                throw OrvException("Cannot write file " + dir + "/" + e.Name);
        }
    }
    SavePNGFile(dir + "/overview.png", sheet.Crop(0, 0, 1400, std::min(2400, sy + rowH + 8)).ToRGB());
}

}  // namespace

int main(int argc, char** argv) {
    std::string data, audio, out, stamp, sheet, dump, lattice, propose, finished, forms;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& dest) {
            if (i + 1 >= argc) return false;
            dest = argv[++i];
            return true;
        };
        if (a == "--data"       ? !value(data)
            : a == "--audio"    ? !value(audio)
            : a == "--out"      ? !value(out)
            : a == "--stamp"    ? !value(stamp)
            : a == "--sheet"    ? !value(sheet)
            : a == "--dump"     ? !value(dump)
            : a == "--lattice"  ? !value(lattice)
            : a == "--propose"  ? !value(propose)
            : a == "--finished" ? !value(finished)
            : a == "--forms"    ? !value(forms)
                                : false)
            return Usage();
        else if (a == "--check")
            check = true;
        else if (a != "--data" && a != "--audio" && a != "--out" && a != "--stamp" && a != "--sheet" && a != "--dump" &&
                 a != "--lattice" && a != "--propose" && a != "--finished" && a != "--forms")
            return Usage();
    }
    if (data.empty() || (out.empty() && !check && sheet.empty() && dump.empty() && lattice.empty() && propose.empty() &&
                         finished.empty() && forms.empty()))
        return Usage();
    try {
        auto start = std::chrono::steady_clock::now();
        forge::TContentBuild build(data, audio);
        build.Run();
        int status = 0;
        if (check || !sheet.empty()) {
            forge::TCheckReport report = forge::CheckContent(build);
            if (check)
                for (const std::string& n : report.Notes) std::printf("%s\n", n.c_str());
            for (const std::string& t : report.Table) std::printf("%s\n", t.c_str());
            for (const std::string& p : report.Problems) std::fprintf(stderr, "problem: %s\n", p.c_str());
            std::printf("%s: %zu problem(s)\n", report.Problems.empty() ? "levels are sound" : "levels need work",
                        report.Problems.size());
            if (check && !report.Problems.empty()) status = 1;
        }
        if (!propose.empty()) {
            size_t n = size_t(std::atoi(propose.c_str()));
            size_t colon = propose.find(':');
            int layers = colon == std::string::npos ? 6 : std::atoi(propose.c_str() + colon + 1);
            if (n < 1 || n > build.Scenes().size() || layers < 1 || layers > 26)
                throw OrvException("no scene or layer count " + propose);
            std::printf("regions\n");
            for (const std::string& row : forge::PlanRegions(build.Painting(n - 1), build.Objects(n - 1), layers))
                std::printf("%s\n", row.c_str());
            std::printf("end\n");
        }
        if (!finished.empty()) {
            std::filesystem::create_directories(finished);
            for (size_t i = 0; i < build.Scenes().size(); ++i) {
                const std::string name = finished + "/Scene" + std::to_string(i + 1);
                SavePNGFile(name + ".png", build.Painting(i).ToRGB());
                SavePNGFile(name + "Half.png", forge::HalfRestored(build, i).ToRGB());
            }
        }
        if (!lattice.empty()) {
            size_t n = size_t(std::atoi(lattice.c_str()));
            if (n < 1 || n > build.Scenes().size()) throw OrvException("no scene " + lattice);
            std::printf("%s", forge::LatticeChart(build.Scenes()[n - 1], build.Objects(n - 1)).c_str());
        }
        if (!sheet.empty()) forge::WriteSheet(build, sheet);
        if (!dump.empty()) Dump(build, dump);
        if (!forms.empty())
            std::printf("forge: %d window pictures in %s\n", forge::WriteFormPreviews(build, forms), forms.c_str());
        if (!out.empty()) {
            build.Write(out);
            forge::WriteIcons(out);
            double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("forge: %zu archive entries written to %s/game.zxc in %.1f s\n", build.Entries().size(),
                        out.c_str(), secs);
        }
        if (!stamp.empty() && status == 0) {
            if (!WriteFileAtomically(stamp, "done\n", 5)) throw OrvException("Cannot write file " + stamp);
        }
        return status;
    } catch (const std::exception& e) {
        // Every message of the build names the source or target it concerns.
        std::fprintf(stderr, "forge: %s\n", PrintableText(e.what()).c_str());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "forge: an error of unknown kind\n");
        return 1;
    }
}
