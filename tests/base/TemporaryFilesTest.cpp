// Temporary files of writes that were killed half-way: removed at the next
// start, unless the process that writes them still runs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/OrvStream.h"

namespace {

TEST(TemporaryFiles, OnlyThoseOfProcessesThatAreGoneAreRemoved) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("moswick-tmpfiles-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "sub.tmp4194305");
    // 4194305 is past the largest process id Linux hands out.
    const std::string dead = (dir / "options.cfg.tmp4194305").string();
    const std::string alive = (dir / ("game.zxc.tmp" + std::to_string(getppid()))).string();
    const std::string mine = (dir / ("Moswick.log.tmp" + std::to_string(getpid()))).string();
    for (const std::string& name :
         {dead, alive, mine, (dir / "notes.tmp").string(), (dir / "a.tmp12x").string(), (dir / "options.cfg").string()})
        std::ofstream(name) << "x";
    std::filesystem::create_symlink("nowhere", dir / "link.tmp4194305");

    std::vector<std::string> removed = RemoveStaleTemporaryFiles(dir.string());
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::string>{(dir / "link.tmp4194305").string(), dead}));
    EXPECT_TRUE(std::filesystem::exists(alive));
    EXPECT_TRUE(std::filesystem::exists(mine));
    EXPECT_TRUE(std::filesystem::exists(dir / "notes.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "a.tmp12x"));
    EXPECT_TRUE(std::filesystem::exists(dir / "options.cfg"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub.tmp4194305"));
    EXPECT_TRUE(RemoveStaleTemporaryFiles((dir / "missing").string()).empty());
    std::filesystem::remove_all(dir);
}

}  // namespace
