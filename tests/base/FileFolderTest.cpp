#include "base/FileFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/OrvException.h"

#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Header(uint16_t magic, uint16_t version, uint16_t count, uint16_t notCount) {
    Bytes b;
    Put16(b, magic);
    Put16(b, version);
    Put16(b, count);
    Put16(b, notCount);
    return b;
}

void PutEntry(Bytes& b, const std::string& name, uint32_t offset, uint32_t size, uint16_t kind, uint8_t lengthByte) {
    b.push_back(lengthByte);
    for (size_t i = 0; i < 31; ++i) b.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, size);
    Put16(b, kind);
    Put16(b, 0);
}

void PutEntry(Bytes& b, const std::string& name, uint32_t offset, uint32_t size, uint16_t kind = 0) {
    PutEntry(b, name, offset, size, kind, static_cast<uint8_t>(name.size()));
}

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "(no error)";
}

class FileFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("moswick_ff_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string path = Path(name);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir_;
};

TEST_F(FileFolderTest, EmptyArchiveIsEightBytesAndOpens) {
    TFileFolder folder = TFileFolder::CreateNew(Path("empty.zxc"));
    EXPECT_EQ(folder.Count(), 0);
    EXPECT_EQ(folder.NotCount(), 65535);
    EXPECT_EQ(folder.DataOffset(), 8u);
    EXPECT_FALSE(std::filesystem::exists(Path("empty.zxc")));
    folder.SaveToFile();
    EXPECT_EQ(Read(Path("empty.zxc")), Header(12345, 0, 0, 0xFFFF));

    TFileFolder opened(Path("empty.zxc"));
    EXPECT_EQ(opened.Count(), 0);
    EXPECT_TRUE(opened.Dir.empty());
    EXPECT_EQ(opened.IndexOf("anything"), -1);
    EXPECT_EQ(opened.Stream("anything"), nullptr);
}

TEST_F(FileFolderTest, HeaderFailuresCarryTheirMessages) {
    const std::string seven = Write("seven.zxc", Bytes{0x39, 0x30, 0, 0, 0, 0, 0xFF});
    EXPECT_EQ(MessageOf([&] { TFileFolder f(seven); }), "Cannot open FileFolder (wrong file size)");
    const std::string label = Write("label.zxc", Header(12346, 0, 0, 0xFFFF));
    EXPECT_EQ(MessageOf([&] { TFileFolder f(label); }), "Cannot open FileFolder (broked label)");
    const std::string version = Write("version.zxc", Header(12345, 1, 0, 0xFFFF));
    EXPECT_EQ(MessageOf([&] { TFileFolder f(version); }), "Cannot open FileFolder (wrong version)");
    const std::string sizing = Write("sizing.zxc", Header(12345, 0, 3, 3));
    EXPECT_EQ(MessageOf([&] { TFileFolder f(sizing); }), "Cannot open FileFolder (wrong sizing)");
    EXPECT_EQ(MessageOf([&] { TFileFolder f(Path("missing.zxc")); }), "Cannot open file " + Path("missing.zxc"));
    const std::string empty = Write("zero.zxc", Bytes{});
    EXPECT_EQ(MessageOf([&] { TFileFolder f(empty); }), "Cannot open FileFolder (wrong file size)");
}

TEST_F(FileFolderTest, DirectoryShorterThanItsCountIsRefused) {
    Bytes b = Header(12345, 0, 2, static_cast<uint16_t>(~2));
    PutEntry(b, "a", 0, 0);
    b.resize(b.size() + 47);  // one byte short of the second entry
    EXPECT_EQ(MessageOf([&] { TFileFolder f(Write("short.zxc", b)); }), "Cannot open Dir (wrong size)");

    // The largest count with no directory behind it.
    const Bytes huge = Header(12345, 0, 65535, 0);
    EXPECT_EQ(MessageOf([&] { TFileFolder f(Write("huge.zxc", huge)); }), "Cannot open Dir (wrong size)");
}

TEST_F(FileFolderTest, LookupIgnoresCaseOfLatinLettersOnly) {
    TFileFolder folder = TFileFolder::CreateNew(Path("case.zxc"));
    TMemoryStream data(std::string_view("png bytes"));
    folder.AddFile("font.png", 2, data);
    TMemoryStream umlaut(std::string_view("x"));
    folder.AddFile("\xC3\xA4.txt", 0, umlaut);
    EXPECT_EQ(folder.IndexOf("FONT.PNG"), 0);
    EXPECT_EQ(folder.IndexOf("Font.Png"), 0);
    EXPECT_EQ(folder.IndexOf("font.pn"), -1);
    EXPECT_EQ(folder.IndexOf("\xC3\xA4.TXT"), 1);
    EXPECT_EQ(folder.IndexOf("\xC3\x84.txt"), -1);  // other bytes compare exactly
    TMemoryStream again(std::string_view("y"));
    EXPECT_EQ(MessageOf([&] { folder.AddFile("Font.png", 0, again); }), "Cannot add file (dublicate)");
    EXPECT_EQ(folder.Count(), 2);
}

TEST_F(FileFolderTest, SavedArchiveMatchesTheFormatByteForByte) {
    TFileFolder folder = TFileFolder::CreateNew(Path("three.zxc"));
    TMemoryStream ten(std::string_view("0123456789"));
    TMemoryStream none;
    TMemoryStream five(std::string_view("abcde"));
    ten.Seek(4);  // the whole stream is taken whatever its position
    folder.AddFile("ten.bin", 1, ten);
    folder.AddFile("none", 0, none);
    folder.AddFile("five.txt", 2, five);
    folder.SaveToFile();

    Bytes want = Header(12345, 0, 3, static_cast<uint16_t>(~3));
    PutEntry(want, "ten.bin", 0, 10, 1);
    PutEntry(want, "none", 10, 0, 0);
    PutEntry(want, "five.txt", 10, 5, 2);
    for (char c : std::string("0123456789abcde")) want.push_back(static_cast<uint8_t>(c));
    EXPECT_EQ(Read(Path("three.zxc")), want);
    EXPECT_EQ(folder.DataOffset(), 8u + 3 * 48);

    TFileFolder opened(Path("three.zxc"));
    ASSERT_EQ(opened.Count(), 3);
    EXPECT_EQ(opened.Dir[1].Offset, 10u);
    EXPECT_EQ(opened.Dir[2].Offset, 10u);
    EXPECT_EQ(opened.Dir[2].Kind, 2);
    EXPECT_EQ(opened.Files[0].State, fsNotLoaded);
    EXPECT_EQ(opened.Files[0].Stream->Size(), 0u);
    opened.LoadFile("TEN.BIN");
    EXPECT_EQ(opened.Files[0].State, fsLoaded);
    EXPECT_EQ(opened.Files[0].Stream->AsString(), "0123456789");
    TMemoryStream* s = opened.Stream("five.txt");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Position(), 0u);
    EXPECT_EQ(s->AsString(), "abcde");
    EXPECT_EQ(opened.Stream("none")->Size(), 0u);
    EXPECT_EQ(MessageOf([&] { opened.LoadFile("nothing"); }), "Cannot load file (wrong file name)");
}

TEST_F(FileFolderTest, ReopenedArchiveSavedWithANewEntryKeepsTheOldOnes) {
    {
        TFileFolder folder = TFileFolder::CreateNew(Path("grow.zxc"));
        TMemoryStream a(std::string_view("first entry"));
        TMemoryStream b(std::string_view("second"));
        folder.AddFile("a.xml", 0, a);
        folder.AddFile("b.png", 2, b);
        folder.SaveToFile();
    }
    {
        TFileFolder folder(Path("grow.zxc"));
        TMemoryStream c(std::string_view("third!"));
        folder.AddFile("c.aim", 1, c);
        folder.SaveToFile();  // rewrites the file it reads from
        EXPECT_EQ(folder.Stream("c.aim")->AsString(), "third!");
        EXPECT_EQ(folder.Stream("a.xml")->AsString(), "first entry");
    }
    TFileFolder folder(Path("grow.zxc"));
    ASSERT_EQ(folder.Count(), 3);
    EXPECT_EQ(folder.Stream("a.xml")->AsString(), "first entry");
    EXPECT_EQ(folder.Stream("b.png")->AsString(), "second");
    EXPECT_EQ(folder.Stream("c.aim")->AsString(), "third!");
    EXPECT_EQ(folder.Dir[1].Kind, 2);
    EXPECT_EQ(folder.Dir[2].Offset, 17u);

    // Nothing but the archive is left in the folder (no temporary file).
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(FileFolderTest, TruncatedDataAreaFailsTheLastEntryAndLeavesItEmpty) {
    TFileFolder folder = TFileFolder::CreateNew(Path("cut.zxc"));
    TMemoryStream a(std::string_view("aaaa"));
    TMemoryStream b(std::string_view("bbbbbbbb"));
    folder.AddFile("a", 0, a);
    folder.AddFile("b", 0, b);
    folder.SaveToFile();
    Bytes bytes = Read(Path("cut.zxc"));
    bytes.resize(bytes.size() - 3);
    Write("cut.zxc", bytes);

    TFileFolder opened(Path("cut.zxc"));
    EXPECT_EQ(opened.Stream("a")->AsString(), "aaaa");
    opened.Files[1].Stream->WriteString("stale");
    EXPECT_EQ(MessageOf([&] { opened.LoadFile("b"); }), "Cannot load file (wrong file size)");
    EXPECT_EQ(opened.Files[1].Stream->Size(), 0u);
    EXPECT_EQ(opened.Files[1].State, fsNotLoaded);
    // A save needs every entry, so it fails too and leaves the file alone.
    EXPECT_EQ(MessageOf([&] { opened.SaveToFile(); }), "Cannot load file (wrong file size)");
    EXPECT_EQ(Read(Path("cut.zxc")), bytes);
}

TEST_F(FileFolderTest, EntriesPointingPastTheFileAreRefusedWithoutAllocating) {
    Bytes b = Header(12345, 0, 3, static_cast<uint16_t>(~3));
    PutEntry(b, "huge", 0, 0xFFFFFFF0u);         // claims 4 GiB
    PutEntry(b, "wrap", 0xFFFFFFF0u, 0x20);      // offset + size passes 32 bits
    PutEntry(b, "far", 0x7FFFFFFFu, 1);          // starts far past the end
    b.push_back('z');
    const std::string path = Write("bogus.zxc", b);
    TFileFolder folder(path);
    for (const char* name : {"huge", "wrap", "far"}) {
        EXPECT_EQ(MessageOf([&] { folder.LoadFile(name); }), "Cannot load file (wrong file size)") << name;
        EXPECT_EQ(folder.Files[static_cast<size_t>(folder.IndexOf(name))].Stream->Size(), 0u);
    }
}

TEST_F(FileFolderTest, NamesAreLimitedTo31Bytes) {
    const std::string name31(31, 'n');
    const std::string name32(32, 'n');
    TFileFolder folder = TFileFolder::CreateNew(Path("names.zxc"));
    TMemoryStream s(std::string_view("data"));
    folder.AddFile(name31, 0, s);
    // Cutting a 32-byte name to 31 would duplicate the entry above.
    EXPECT_EQ(MessageOf([&] { folder.AddFile(name32, 0, s); }), "Cannot add file (name too long)");
    EXPECT_EQ(MessageOf([&] { folder.AddFile("", 0, s); }), "(no error)");
    folder.SaveToFile();

    TFileFolder opened(Path("names.zxc"));
    ASSERT_EQ(opened.Count(), 2);
    EXPECT_EQ(opened.Dir[0].Name, name31);
    EXPECT_EQ(opened.Dir[1].Name, "");
    EXPECT_EQ(opened.Stream(name31)->AsString(), "data");

    // A length byte claiming more than the field holds is clamped to 31.
    Bytes b = Header(12345, 0, 1, static_cast<uint16_t>(~1));
    PutEntry(b, std::string(31, 'q'), 0, 2, 0, 200);
    b.push_back('o');
    b.push_back('k');
    TFileFolder clamped(Write("clamped.zxc", b));
    EXPECT_EQ(clamped.Dir[0].Name, std::string(31, 'q'));
    EXPECT_EQ(clamped.Stream(std::string(31, 'Q'))->AsString(), "ok");
}

TEST_F(FileFolderTest, ManyEntriesAndTheEntryLimit) {
    TFileFolder folder = TFileFolder::CreateNew(Path("many.zxc"));
    TMemoryStream one(std::string_view("1"));
    for (int i = 0; i < 2000; ++i) folder.AddFile("f" + std::to_string(i), static_cast<uint16_t>(i), one);
    folder.SaveToFile();
    TFileFolder opened(Path("many.zxc"));
    ASSERT_EQ(opened.Count(), 2000);
    opened.LoadAll();
    EXPECT_EQ(opened.Files[1999].Stream->AsString(), "1");
    EXPECT_EQ(opened.Dir[1999].Offset, 1999u);
    EXPECT_EQ(opened.Dir[1999].Kind, 1999);
    EXPECT_EQ(opened.IndexOf("F1234"), 1234);

    // The 16-bit count allows 65535 entries and no more.
    TFileFolder full = TFileFolder::CreateNew(Path("full.zxc"));
    TMemoryStream empty;
    for (int i = 0; i < 65535; ++i) {
        full.Dir.push_back(TDirEntry{"e" + std::to_string(i), 0, 0, 0});
        full.Files.push_back(TMemFile{std::make_unique<TMemoryStream>(), fsAdded});
    }
    EXPECT_EQ(MessageOf([&] { full.AddFile("one more", 0, empty); }), "Cannot add file (too many files)");
}

TEST_F(FileFolderTest, ASaveThatCannotBeWrittenLeavesNoFile) {
    TFileFolder folder = TFileFolder::CreateNew(Path("no/such/folder/x.zxc"));
    TMemoryStream s(std::string_view("x"));
    folder.AddFile("x", 0, s);
    EXPECT_EQ(MessageOf([&] { folder.SaveToFile(); }), "Cannot write file " + Path("no/such/folder/x.zxc"));
    EXPECT_FALSE(std::filesystem::exists(Path("no")));
}

}  // namespace
