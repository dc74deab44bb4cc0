// forge: builds the game's data. Usage:
//   forge --data DIR [--audio DIR] --out DIR [--stamp FILE]   build everything
//   forge --data DIR --check                                  check the levels only
//   forge --data DIR --sheet FILE.png                         contact sheet of the scenes
#include <chrono>
#include <cstdio>
#include <string>

#include "Forge.h"
#include "ForgeCheck.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: forge --data DIR [--audio DIR] [--out DIR] [--stamp FILE] [--check] [--sheet FILE.png]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string data, audio, out, stamp, sheet;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& dest) {
            if (i + 1 >= argc) return false;
            dest = argv[++i];
            return true;
        };
        if (a == "--data" ? !value(data) : a == "--audio" ? !value(audio) : a == "--out" ? !value(out)
            : a == "--stamp" ? !value(stamp) : a == "--sheet" ? !value(sheet) : false)
            return Usage();
        else if (a == "--check") check = true;
        else if (a != "--data" && a != "--audio" && a != "--out" && a != "--stamp" && a != "--sheet") return Usage();
    }
    if (data.empty() || (out.empty() && !check && sheet.empty())) return Usage();
    try {
        auto start = std::chrono::steady_clock::now();
        forge::TContentBuild build(data, audio);
        build.Run();
        int status = 0;
        if (check) {
            forge::TCheckReport report = forge::CheckContent(build);
            for (const std::string& n : report.Notes) std::printf("%s\n", n.c_str());
            for (const std::string& p : report.Problems) std::fprintf(stderr, "problem: %s\n", p.c_str());
            std::printf("%s: %zu problem(s)\n", report.Problems.empty() ? "levels are sound" : "levels need work",
                        report.Problems.size());
            if (!report.Problems.empty()) status = 1;
        }
        if (!sheet.empty()) forge::WriteSheet(build, sheet);
        if (!out.empty()) {
            build.Write(out);
            double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("forge: %zu archive entries written to %s/game.zxc in %.1f s\n", build.Entries().size(),
                        out.c_str(), secs);
        }
        if (!stamp.empty() && status == 0) {
            if (!WriteFileAtomically(stamp, "done\n", 5)) throw OrvException("Cannot write file " + stamp);
        }
        return status;
    } catch (const OrvException& e) {
        std::fprintf(stderr, "forge: %s\n", e.what());
        return 1;
    }
}
