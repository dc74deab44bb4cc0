#include "platform/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-ini-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "options.cfg").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() {
        std::string s;
        ReadWholeFile(path_, s);
        return s;
    }
    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(IniFileTest, ReadsValuesWithoutRegardToCaseAndKeepsDefaults) {
    Write(
        "; the player's settings\r\n[Options]\r\nFullScreenMode = 1\r\nPlayerName=\"Ann Lee\"\r\nBits=abc\r\n"
        "Big=99999999999\r\nHex=0x10\r\nNeg=-7\r\n[Other]\r\nFullScreenMode=5\r\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("options", "fullscreenmode", 0), 1);
    EXPECT_EQ(ini.ReadString("Options", "PlayerName", "Player"), "Ann Lee");
    EXPECT_EQ(ini.ReadInteger("Options", "Bits", 32), 32);  // not a number
    EXPECT_EQ(ini.ReadInteger("Options", "Big", 3), 3);     // out of range
    EXPECT_EQ(ini.ReadInteger("Options", "Hex", 0), 16);
    EXPECT_EQ(ini.ReadInteger("Options", "Neg", 0), -7);
    EXPECT_EQ(ini.ReadInteger("Options", "Missing", 42), 42);
    EXPECT_EQ(ini.ReadInteger("Missing", "FullScreenMode", 42), 42);
    EXPECT_EQ(ini.ReadInteger("Other", "FullScreenMode", 0), 5);
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Options", "Other"}));
}

TEST_F(IniFileTest, WritingKeepsUnknownLinesAndOrder) {
    Write("# hand-written\n[Options]\nDebugMode=429\nWindowModeX=120\n\n[Version]\nBuild=100\n");
    TIniFile ini(path_);
    ini.WriteInteger("Options", "SoundVolume", 40);
    ini.WriteString("version", "build", "122");
    ini.WriteInteger("Options", "DebugMode", 0);
    EXPECT_EQ(Read(),
              "# hand-written\r\n[Options]\r\nDebugMode=0\r\nWindowModeX=120\r\nSoundVolume=40\r\n\r\n[Version]\r\n"
              "Build=122\r\n");
    TIniFile again(path_);
    EXPECT_EQ(again.ReadInteger("Options", "SoundVolume", 0), 40);
    EXPECT_EQ(again.ReadString("Version", "Build", ""), "122");
}

TEST_F(IniFileTest, NewFileSectionsAndDeletion) {
    TIniFile ini(path_);
    EXPECT_FALSE(ini.SectionExists("Options"));
    ini.WriteString("Options", "PlayerName", "Line\r\nbreak");
    ini.WriteInteger("Options", "MusicVolume", 100);
    EXPECT_EQ(Read(), "[Options]\r\nPlayerName=Line  break\r\nMusicVolume=100\r\n");
    ini.DeleteKey("OPTIONS", "playername");
    EXPECT_FALSE(TIniFile(path_).ValueExists("Options", "PlayerName"));
    ini.EraseSection("Options");
    EXPECT_EQ(Read(), "");
}

TEST_F(IniFileTest, UnwritableFileReportsAndOversizedFileIsRefused) {
    TIniFile bad((dir_ / "no-such-folder" / "x.cfg").string());
    EXPECT_THROW(bad.WriteInteger("A", "B", 1), OrvException);

    {
        std::ofstream out(path_, std::ios::binary);
        std::string chunk(1024 * 1024, 'x');
        for (int i = 0; i < 5; ++i) out << chunk;
    }
    TIniFile big(path_);
    EXPECT_TRUE(big.Refused());
    EXPECT_EQ(big.ReadInteger("A", "B", 7), 7);
    // The refused file is never replaced by an empty document.
    EXPECT_THROW(big.WriteInteger("A", "B", 1), OrvException);
    EXPECT_EQ(std::filesystem::file_size(path_), 5u * 1024u * 1024u);
}

TEST_F(IniFileTest, FoldersPipesAndDevicesInTheFilesPlaceReadAsAbsentAndAreNeverReplaced) {
    // Each used to stop start-up, block it for ever or read until memory ran
    // out; now each reads as no values, says why, and refuses writes.
    std::filesystem::create_directories(path_);
    TIniFile folder(path_);
    EXPECT_TRUE(folder.Refused());
    EXPECT_EQ(folder.Error(), "Cannot read file " + path_ + " (it is a folder)");
    EXPECT_EQ(folder.ReadInteger("Options", "SoundVolume", 100), 100);
    EXPECT_THROW(folder.WriteInteger("Options", "SoundVolume", 5), OrvException);
    EXPECT_TRUE(std::filesystem::is_directory(path_));
    std::filesystem::remove(path_);

    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    TIniFile fifo(path_);
    EXPECT_TRUE(fifo.Refused());
    EXPECT_EQ(fifo.Error(), "Cannot read file " + path_ + " (not a regular file)");
    std::filesystem::remove(path_);

    std::filesystem::create_symlink("/dev/zero", path_);
    TIniFile zero(path_);
    EXPECT_TRUE(zero.Refused());
    EXPECT_EQ(zero.ReadString("Options", "PlayerName", "Player"), "Player");
}

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "(no error)";
}

std::filesystem::perms PermsOf(const std::string& path) {
    return std::filesystem::status(path).permissions();
}

TEST_F(IniFileTest, ARewriteKeepsTheFilesModeAndAReadOnlyFileIsLeftAsItIs) {
    using std::filesystem::perms;
    Write("[Options]\r\nSoundVolume=10\r\n");
    std::filesystem::permissions(path_, perms::owner_read | perms::owner_write);
    TIniFile ini(path_);
    ini.WriteInteger("Options", "SoundVolume", 20);
    EXPECT_EQ(PermsOf(path_), perms::owner_read | perms::owner_write);

    // Read-only: never made writable behind the user's back, not rewritten,
    // and the error says the settings are not saved.
    std::filesystem::permissions(path_, perms::owner_read | perms::group_read);
    TIniFile locked(path_);
    EXPECT_EQ(locked.ReadInteger("Options", "SoundVolume", 0), 20);
    EXPECT_EQ(MessageOf([&] { locked.WriteInteger("Options", "SoundVolume", 30); }),
              path_ + " is read-only; settings are not saved");
    EXPECT_EQ(PermsOf(path_), perms::owner_read | perms::group_read);
    EXPECT_EQ(Read(), "[Options]\r\nSoundVolume=20\r\n");
}

TEST_F(IniFileTest, ALinkedFileIsWrittenThroughTheLinkToItsTarget) {
    std::filesystem::create_directories(dir_ / "real");
    const std::string target = (dir_ / "real" / "settings.ini").string();
    std::ofstream(target, std::ios::binary) << "[Options]\r\nPlayerName=Ann\r\n";
    // A chain: options.cfg -> link2 -> real/settings.ini (relative links).
    std::filesystem::create_symlink("real/settings.ini", dir_ / "link2");
    std::filesystem::create_symlink("link2", path_);
    TIniFile ini(path_);
    ini.WriteString("Options", "PlayerName", "Bo");
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link2"));
    std::string text;
    ReadWholeFile(target, text);
    EXPECT_EQ(text, "[Options]\r\nPlayerName=Bo\r\n");

    // A link whose target does not exist yet: the target is created.
    const std::string dangling = (dir_ / "registry.ini").string();
    std::filesystem::create_symlink("real/new.ini", dangling);
    TIniFile fresh(dangling);
    fresh.WriteString("Key", "Value", "1");
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir_ / "real" / "new.ini"));
}

TEST_F(IniFileTest, AByteOrderMarkIsKeptAndARewriteReadsBackTheSameDocument) {
    // A file saved by an editor that marks UTF-8 (twice, here) keeps its
    // first line as it was through any number of rewrites.
    Write("\xEF\xBB\xBF\xEF\xBB\xBF; mine\r\n[Options]\r\nSoundVolume=1\r\n");
    TIniFile ini(path_);
    ini.WriteInteger("Options", "SoundVolume", 2);
    TIniFile again(path_);
    again.WriteInteger("Options", "SoundVolume", 3);
    EXPECT_EQ(Read(), "\xEF\xBB\xBF\xEF\xBB\xBF; mine\r\n[Options]\r\nSoundVolume=3\r\n");
}

}  // namespace
