#include "platform/KeyStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Platform.h"

namespace {

std::filesystem::path TempDir(const char* name) {
    auto dir =
        std::filesystem::temp_directory_path() / (std::string("moswick-keys-") + std::to_string(getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    return dir;
}

TEST(KeyStoreTest, ValuesSurviveReopeningExactly) {
    const auto dir = TempDir("roundtrip");
    const std::string path = (dir / "sub" / "registry.ini").string();
    {
        TKeyStore store(path);
        EXPECT_EQ(store.ReadString("Software\\Moswick", "Language", "English"), "English");
        ASSERT_TRUE(store.WriteString("Software\\Moswick", "Language", "Deutsch"));
        ASSERT_TRUE(store.WriteString("Software/Moswick/Logos", "Link1", "  \"quoted\" text "));
    }
    TKeyStore store(path);
    EXPECT_TRUE(store.KeyExists("software/moswick"));
    EXPECT_EQ(store.ReadString("SOFTWARE/Moswick/", "Language"), "Deutsch");
    EXPECT_EQ(store.ReadString("Software\\Moswick\\Logos", "Link1"), "  \"quoted\" text ");
    EXPECT_EQ(store.ValueNames("Software/Moswick"), std::vector<std::string>{"Language"});
    EXPECT_TRUE(store.DeleteValue("Software/Moswick", "Language"));
    EXPECT_FALSE(TKeyStore(path).ValueExists("Software/Moswick", "Language"));
    std::filesystem::remove_all(dir);
}

TEST(KeyStoreTest, APipeInPlaceOfTheStoreNeitherBlocksNorIsReplaced) {
    const auto dir = TempDir("fifo");
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "registry.ini").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    TKeyStore store(path);
    EXPECT_EQ(store.ReadString("Software\\Moswick", "Language", "English"), "English");
    EXPECT_FALSE(store.WriteString("Software\\Moswick", "Language", "Deutsch"));
    EXPECT_EQ(std::filesystem::status(path).type(), std::filesystem::file_type::fifo);
    std::filesystem::remove_all(dir);
}

TEST(KeyStoreTest, RefusesValuesThatWouldBreakTheFile) {
    const auto dir = TempDir("refuse");
    TKeyStore store((dir / "registry.ini").string());
    EXPECT_FALSE(store.WriteString("Software/Moswick", "Name", "two\nlines"));
    EXPECT_FALSE(store.WriteString("Software/Moswick", "a=b", "x"));
    EXPECT_FALSE(store.WriteString("Software/Moswick", "", "x"));
    // A key name with brackets cannot open a section of its own.
    ASSERT_TRUE(store.WriteString("Soft]\n[ware", "Name", "v"));
    EXPECT_EQ(TKeyStore((dir / "registry.ini").string()).ReadString("Soft]\n[ware", "Name"), "v");
    std::filesystem::remove_all(dir);
}

TEST(KeyStoreTest, DefaultPathFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/moswick-xdg", 1);
    EXPECT_EQ(TKeyStore::DefaultPath(), "/tmp/moswick-xdg/moswick/registry.ini");
    setenv("XDG_DATA_HOME", "/tmp/moswick-data/", 1);
    EXPECT_EQ(Platform::UserDataDir(), "/tmp/moswick-data/moswick/");
    // Relative folders are not valid base folders: the home folder's
    // defaults are used instead.
    const char* home = std::getenv("HOME");
    const std::string homeDir = home && *home ? home : "/tmp";
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(Platform::UserDataDir(), homeDir + "/.local/share/moswick/");
    EXPECT_EQ(Platform::UserConfigDir(), homeDir + "/.config/moswick/");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
