#include "base/FileFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "ArchiveBytes.h"
#include "base/OrvException.h"

namespace {

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "(no error)";
}

// An archive in memory built through AddFile from name/content pairs.
TFileFolder NewArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    TFileFolder folder = TFileFolder::CreateNew(path);
    for (const auto& [name, content] : entries) {
        TMemoryStream s(content);
        folder.AddFile(name, 0, s);
    }
    return folder;
}

using FileFolderTest = TScratchTest;

TEST_F(FileFolderTest, OpeningFailuresCarryTheirMessages) {
    TFileFolder empty = TFileFolder::CreateNew(Path("empty.zxc"));
    empty.SaveToFile();
    EXPECT_EQ(Read(Path("empty.zxc")), Header(0));
    EXPECT_EQ(TFileFolder(Path("empty.zxc")).Count(), 0);

    const auto openError = [&](const Bytes& bytes) {
        return MessageOf([&] { TFileFolder f(Write("bad.zxc", bytes)); });
    };
    EXPECT_EQ(openError(Bytes{0x39, 0x30, 0, 0, 0, 0, 0xFF}), "Cannot open FileFolder (wrong file size)");
    EXPECT_EQ(openError(Bytes{}), "Cannot open FileFolder (wrong file size)");
    EXPECT_EQ(openError(Header(0, 12346)), "Cannot open FileFolder (broked label)");
    EXPECT_EQ(openError(Header(0, 12345, 1)), "Cannot open FileFolder (wrong version)");
    Bytes sizing = Header(3);
    sizing[6] = 3;
    sizing[7] = 0;
    EXPECT_EQ(openError(sizing), "Cannot open FileFolder (wrong sizing)");
    Bytes shortDir = Header(2);
    PutEntry(shortDir, "a", 0, 0);
    shortDir.resize(shortDir.size() + 47);  // one byte short of the second entry
    EXPECT_EQ(openError(shortDir), "Cannot open Dir (wrong size)");
    EXPECT_EQ(openError(Header(65535)), "Cannot open Dir (wrong size)");
    EXPECT_EQ(MessageOf([&] { TFileFolder f(Path("missing.zxc")); }), "Cannot open file " + Path("missing.zxc"));
}

TEST_F(FileFolderTest, LookupIgnoresCaseOfLatinLettersOnly) {
    TFileFolder folder = NewArchive(Path("case.zxc"), {{"font.png", "png"}, {"\xC3\xA4.txt", "x"}});
    EXPECT_EQ(folder.IndexOf("FONT.PNG"), 0);
    EXPECT_EQ(folder.IndexOf("font.pn"), -1);
    EXPECT_EQ(folder.IndexOf("\xC3\xA4.TXT"), 1);
    EXPECT_EQ(folder.IndexOf("\xC3\x84.txt"), -1);  // other bytes compare exactly
    TMemoryStream again(std::string_view("y"));
    EXPECT_EQ(MessageOf([&] { folder.AddFile("Font.png", 0, again); }), "Cannot add file (dublicate)");
    EXPECT_EQ(folder.Count(), 2);
}

TEST_F(FileFolderTest, SavedArchiveMatchesTheLayoutByteForByte) {
    TFileFolder folder = TFileFolder::CreateNew(Path("three.zxc"));
    TMemoryStream ten(std::string_view("0123456789"));
    TMemoryStream none;
    TMemoryStream five(std::string_view("abcde"));
    ten.Seek(4);  // the whole stream is taken whatever its position
    folder.AddFile("ten.bin", 1, ten);
    folder.AddFile("none", 0, none);
    folder.AddFile("five.txt", 2, five);
    folder.SaveToFile();

    Bytes want = Header(3);
    PutEntry(want, "ten.bin", 0, 10, 1);
    PutEntry(want, "none", 10, 0, 0);
    PutEntry(want, "five.txt", 10, 5, 2);
    Append(want, "0123456789abcde");
    EXPECT_EQ(Read(Path("three.zxc")), want);
    EXPECT_EQ(folder.DataOffset(), 8u + 3 * 48);

    TFileFolder opened(Path("three.zxc"));
    EXPECT_EQ(opened.Files[0].State, fsNotLoaded);
    opened.LoadFile("TEN.BIN");
    EXPECT_EQ(opened.Files[0].State, fsLoaded);
    EXPECT_EQ(opened.Files[0].Stream->AsString(), "0123456789");
    TMemoryStream* s = opened.Stream("five.txt");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->AsString(), "abcde");
    EXPECT_EQ(opened.Stream("none")->Size(), 0u);
    EXPECT_EQ(opened.Stream("nothing"), nullptr);
    EXPECT_EQ(MessageOf([&] { opened.LoadFile("nothing"); }), "Cannot load file (wrong file name)");
}

TEST_F(FileFolderTest, ReopenedArchiveSavedWithANewEntryKeepsTheOldOnes) {
    NewArchive(Path("grow.zxc"), {{"a.xml", "first entry"}, {"b.png", "second"}}).SaveToFile();
    {
        TFileFolder folder(Path("grow.zxc"));
        TMemoryStream c(std::string_view("third!"));
        folder.AddFile("c.aim", 1, c);
        folder.SaveToFile();  // rewrites the file it reads from
    }
    TFileFolder folder(Path("grow.zxc"));
    ASSERT_EQ(folder.Count(), 3);
    EXPECT_EQ(folder.Stream("a.xml")->AsString(), "first entry");
    EXPECT_EQ(folder.Stream("b.png")->AsString(), "second");
    EXPECT_EQ(folder.Stream("c.aim")->AsString(), "third!");
    EXPECT_EQ(folder.Dir[2].Offset, 17u);
    // Nothing but the archive is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 1);
}

TEST_F(FileFolderTest, TruncatedDataAreaFailsTheLastEntryAndLeavesItEmpty) {
    NewArchive(Path("cut.zxc"), {{"a", "aaaa"}, {"b", "bbbbbbbb"}}).SaveToFile();
    Bytes bytes = Read(Path("cut.zxc"));
    bytes.resize(bytes.size() - 3);
    Write("cut.zxc", bytes);

    TFileFolder opened(Path("cut.zxc"));
    EXPECT_EQ(opened.Stream("a")->AsString(), "aaaa");
    opened.Files[1].Stream->WriteString("stale");
    EXPECT_EQ(MessageOf([&] { opened.LoadFile("b"); }), "Cannot load file (wrong file size)");
    EXPECT_EQ(opened.Files[1].Stream->Size(), 0u);
    // A save needs every entry, so it fails too and leaves the file alone.
    EXPECT_EQ(MessageOf([&] { opened.SaveToFile(); }), "Cannot load file (wrong file size)");
    EXPECT_EQ(Read(Path("cut.zxc")), bytes);
}

TEST_F(FileFolderTest, ForeignArchiveWithSharedNamesIsSavedWhole) {
    // Another tool may write two entries whose names differ only in case.
    // Lookups by name reach the first; a save must still keep both.
    Bytes b = Header(3);
    PutEntry(b, "pic.png", 0, 3, 2);
    PutEntry(b, "PIC.PNG", 3, 4, 1);
    PutEntry(b, "x", 7, 1, 0);
    Append(b, "onetwo!x");
    Write("shared.zxc", b);
    {
        TFileFolder folder(Path("shared.zxc"));
        EXPECT_EQ(folder.IndexOf("PIC.PNG"), 0);
        folder.SaveToFile();
        EXPECT_EQ(folder.Files[1].Stream->AsString(), "two!");
    }
    EXPECT_EQ(Read(Path("shared.zxc")), b);
}

TEST_F(FileFolderTest, FailedReloadIsReadAgainBySaveNotWrittenEmpty) {
    NewArchive(Path("re.zxc"), {{"a", "aaaa"}, {"b", "bbbb"}}).SaveToFile();
    const Bytes whole = Read(Path("re.zxc"));
    TFileFolder folder(Path("re.zxc"));
    folder.LoadFile("b");
    ASSERT_EQ(folder.Files[1].State, fsLoaded);
    // The file is cut behind the folder's back; reloading b fails.
    Bytes cut = whole;
    cut.resize(cut.size() - 2);
    Write("re.zxc", cut);
    EXPECT_EQ(MessageOf([&] { folder.LoadFile("b"); }), "Cannot load file (wrong file size)");
    EXPECT_EQ(folder.Files[1].State, fsNotLoaded);
    EXPECT_EQ(MessageOf([&] { folder.SaveToFile(); }), "Cannot load file (wrong file size)");
    EXPECT_EQ(Read(Path("re.zxc")), cut);
    // Once the file is whole again the same folder saves every entry.
    Write("re.zxc", whole);
    folder.SaveToFile();
    EXPECT_EQ(Read(Path("re.zxc")), whole);
}

TEST_F(FileFolderTest, ArchiveWithTheLargestCountOpens) {
    Bytes b = Header(65535);
    for (int i = 0; i < 65535; ++i) PutEntry(b, "n" + std::to_string(i), 0, 0);
    TFileFolder folder(Write("max.zxc", b));
    EXPECT_EQ(folder.Count(), 65535);
    EXPECT_EQ(folder.NotCount(), 0);
    EXPECT_EQ(folder.DataOffset(), 8u + 65535u * 48u);
    EXPECT_EQ(folder.IndexOf("N65534"), 65534);
    folder.SaveToFile();
    EXPECT_EQ(Read(Path("max.zxc")), b);
}

TEST_F(FileFolderTest, EntriesPointingPastTheFileAreRefusedWithoutAllocating) {
    Bytes b = Header(3);
    PutEntry(b, "huge", 0, 0xFFFFFFF0u);     // claims 4 GiB
    PutEntry(b, "wrap", 0xFFFFFFF0u, 0x20);  // offset + size passes 32 bits
    PutEntry(b, "far", 0x7FFFFFFFu, 1);      // starts far past the end
    Append(b, "z");
    TFileFolder folder(Write("bogus.zxc", b));
    for (const char* name : {"huge", "wrap", "far"}) {
        EXPECT_EQ(MessageOf([&] { folder.LoadFile(name); }), "Cannot load file (wrong file size)") << name;
        EXPECT_EQ(folder.Files[static_cast<size_t>(folder.IndexOf(name))].Stream->Size(), 0u);
    }
}

TEST_F(FileFolderTest, NamesAreLimitedTo31Bytes) {
    const std::string name31(31, 'n');
    TFileFolder folder = NewArchive(Path("names.zxc"), {{name31, "data"}, {"", ""}});
    TMemoryStream s(std::string_view("data"));
    // Cutting a 32-byte name to 31 would duplicate the entry above.
    EXPECT_EQ(MessageOf([&] { folder.AddFile(std::string(32, 'n'), 0, s); }), "Cannot add file (name too long)");
    folder.SaveToFile();
    EXPECT_EQ(TFileFolder(Path("names.zxc")).Stream(name31)->AsString(), "data");

    // A length byte claiming more than the field holds is clamped to 31.
    Bytes b = Header(1);
    PutEntry(b, std::string(31, 'q'), 0, 2, 0, 200);
    Append(b, "ok");
    TFileFolder clamped(Write("clamped.zxc", b));
    EXPECT_EQ(clamped.Stream(std::string(31, 'Q'))->AsString(), "ok");
}

TEST_F(FileFolderTest, TheEntryLimitAndAnUnwritableTarget) {
    TFileFolder full = TFileFolder::CreateNew(Path("full.zxc"));
    for (int i = 0; i < 65535; ++i) {
        full.Dir.push_back(TDirEntry{"e" + std::to_string(i), 0, 0, 0});
        full.Files.push_back(TMemFile{std::make_unique<TMemoryStream>(), fsAdded});
    }
    TMemoryStream empty;
    EXPECT_EQ(MessageOf([&] { full.AddFile("one more", 0, empty); }), "Cannot add file (too many files)");
    full.Dir.push_back(TDirEntry{"by hand", 0, 0, 0});
    EXPECT_EQ(MessageOf([&] { full.SaveToFile(); }), "Cannot save FileFolder (wrong sizing)");

    TFileFolder folder = NewArchive(Path("no/such/folder/x.zxc"), {{"x", "x"}});
    EXPECT_EQ(MessageOf([&] { folder.SaveToFile(); }), "Cannot write file " + Path("no/such/folder/x.zxc"));
    EXPECT_FALSE(std::filesystem::exists(Path("no")));
}

}  // namespace
