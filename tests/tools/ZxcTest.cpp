// Runs the built zxc tool end to end and checks the archives it writes
// against the archive layout byte by byte.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../base/ArchiveBytes.h"
#include "base/FileFolder.h"
#include "base/SFunctions.h"

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

class ZxcTest : public TScratchTest {
protected:
    static std::string Quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }

    // Runs zxc with the arguments and collects its exit status and output.
    TRun Zxc(const std::vector<std::string>& args) const {
        std::string cmd = Quote(MOSWICK_BUILD_DIR "/zxc");
        for (const std::string& a : args) cmd += " " + Quote(a);
        cmd += " >" + Quote(Path("out.txt")) + " 2>" + Quote(Path("err.txt"));
        TRun run;
        const int raw = std::system(cmd.c_str());
        run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const Bytes out = Read(Path("out.txt"));
        const Bytes err = Read(Path("err.txt"));
        run.Out.assign(out.begin(), out.end());
        run.Err.assign(err.begin(), err.end());
        return run;
    }
};

TEST_F(ZxcTest, PackWritesTheExactArchiveLayout) {
    const std::string a = Write("in/alpha.xml", "<a/>\r\n");
    const std::string b = Write("in/empty.dat", "");
    const std::string c = Write("in/sub/pic.png", std::string("\x89PNG\0\x01", 6));
    const TRun run = Zxc({"pack", Path("out.zxc"), a, b, c, "--kind", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;

    Bytes want = Header(3);
    PutEntry(want, "alpha.xml", 0, 6, 2);
    PutEntry(want, "empty.dat", 6, 0, 2);
    PutEntry(want, "pic.png", 6, 6, 2);
    Append(want, "<a/>\r\n");
    Append(want, std::string("\x89PNG\0\x01", 6));
    EXPECT_EQ(Read(Path("out.zxc")), want);

    const TRun noKind = Zxc({"pack", Path("zero.zxc"), a});
    ASSERT_EQ(noKind.Status, 0) << noKind.Err;
    TFileFolder zero(Path("zero.zxc"));
    ASSERT_EQ(zero.Count(), 1);
    EXPECT_EQ(zero.Dir[0].Kind, 0);
}

TEST_F(ZxcTest, ListAndExtractRoundTrip) {
    const std::string a = Write("in/One.txt", "first");
    const std::string b = Write("in/two.bin", std::string("\0\1\2", 3));
    ASSERT_EQ(Zxc({"pack", Path("x.zxc"), a, b}).Status, 0);

    const TRun list = Zxc({"list", Path("x.zxc")});
    ASSERT_EQ(list.Status, 0) << list.Err;
    EXPECT_NE(list.Out.find("One.txt"), std::string::npos);
    EXPECT_NE(list.Out.find("two.bin"), std::string::npos);
    // The second entry: index 1, kind 0, size 3, offset 5.
    EXPECT_NE(list.Out.find("    1  two.bin"), std::string::npos) << list.Out;
    const std::string row = list.Out.substr(list.Out.find("    1  two.bin"));
    EXPECT_EQ(row.substr(row.find_first_not_of(' ', 14)), "0           3           5\n");

    const TRun all = Zxc({"extract", Path("x.zxc"), "-o", Path("all")});
    ASSERT_EQ(all.Status, 0) << all.Err;
    EXPECT_EQ(Read(Path("all/One.txt")), Read(a));
    EXPECT_EQ(Read(Path("all/two.bin")), Read(b));

    const TRun one = Zxc({"extract", Path("x.zxc"), "ONE.TXT", "-o", Path("one")});
    ASSERT_EQ(one.Status, 0) << one.Err;
    EXPECT_TRUE(std::filesystem::exists(Path("one/One.txt")));
    EXPECT_FALSE(std::filesystem::exists(Path("one/two.bin")));
}

TEST_F(ZxcTest, ErrorsPrintTheArchiveMessageAndExitWithOne) {
    Write("seven.zxc", "1234567");
    const TRun shortFile = Zxc({"list", Path("seven.zxc")});
    EXPECT_EQ(shortFile.Status, 1);
    EXPECT_EQ(shortFile.Err, Path("seven.zxc") + ": Cannot open FileFolder (wrong file size)\n");

    // Two files of the same base name: refused, and no archive is left.
    const std::string a = Write("d1/same.txt", "1");
    const std::string b = Write("d2/SAME.txt", "2");
    const TRun dup = Zxc({"pack", Path("dup.zxc"), a, b});
    EXPECT_EQ(dup.Status, 1);
    EXPECT_EQ(dup.Err, b + ": Cannot add file (dublicate)\n");
    EXPECT_FALSE(std::filesystem::exists(Path("dup.zxc")));

    const TRun missing = Zxc({"pack", Path("m.zxc"), Path("nothing.txt")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("m.zxc")));

    const std::string longName = Write("in/" + std::string(32, 'L'), "x");
    const TRun tooLong = Zxc({"pack", Path("l.zxc"), longName});
    EXPECT_EQ(tooLong.Status, 1);
    EXPECT_EQ(tooLong.Err, longName + ": Cannot add file (name too long)\n");

    ASSERT_EQ(Zxc({"pack", Path("ok.zxc"), a}).Status, 0);
    const TRun noEntry = Zxc({"extract", Path("ok.zxc"), "other.txt", "-o", Path("o")});
    EXPECT_EQ(noEntry.Status, 1);
    EXPECT_EQ(noEntry.Err.rfind(Path("ok.zxc") + ": Cannot load file (wrong file name)", 0), 0u) << noEntry.Err;

    // A folder or pipe where a file is expected is named, never waited on.
    std::filesystem::create_directories(Path("folder.zxc"));
    const TRun folder = Zxc({"list", Path("folder.zxc")});
    EXPECT_EQ(folder.Status, 1);
    EXPECT_EQ(folder.Err, "Cannot read file " + Path("folder.zxc") + " (it is a folder)\n");
    const TRun packFolder = Zxc({"pack", Path("f.zxc"), Path("folder.zxc")});
    EXPECT_EQ(packFolder.Status, 1);
    EXPECT_EQ(packFolder.Err, "Cannot read file " + Path("folder.zxc") + " (it is a folder)\n");

    EXPECT_EQ(Zxc({}).Status, 2);
    EXPECT_EQ(Zxc({"frobnicate"}).Status, 2);
    EXPECT_EQ(Zxc({"pack", Path("k.zxc"), a, "--kind", "70000"}).Status, 2);
    EXPECT_EQ(Zxc({"pack", Path("k.zxc")}).Status, 2);
}

TEST_F(ZxcTest, ExtractRefusesEntryNamesThatAreNotPlainFileNames) {
    // Built by hand: an entry named "../evil" must not escape the folder.
    Bytes b = Header(2);
    PutEntry(b, "fine.txt", 0, 2, 0);
    PutEntry(b, "../evil", 2, 2, 0);
    Append(b, "okno");
    Write("evil.zxc", b);
    const TRun run = Zxc({"extract", Path("evil.zxc"), "-o", Path("x/y")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("unsafe name"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("x/evil")));
    EXPECT_FALSE(std::filesystem::exists(Path("x/y/fine.txt")));

    const TRun fine = Zxc({"extract", Path("evil.zxc"), "fine.txt", "-o", Path("x/y")});
    EXPECT_EQ(fine.Status, 0) << fine.Err;
    EXPECT_EQ(Read(Path("x/y/fine.txt")), (Bytes{'o', 'k'}));
}

TEST_F(ZxcTest, ListShowsControlBytesOfNamesEscapedAndFullLengthNames) {
    // A crafted name with a terminal escape, a zero byte and a backslash.
    Bytes b = Header(2);
    PutEntry(b, std::string("a\x1b[2Jb\0c\\", 9), 0, 1, 0);
    const std::string name31(31, 'n');
    PutEntry(b, name31, 1, 1, 3);
    Append(b, "xy");
    Write("odd.zxc", b);
    const TRun list = Zxc({"list", Path("odd.zxc")});
    ASSERT_EQ(list.Status, 0) << list.Err;
    EXPECT_NE(list.Out.find("a\\x1B[2Jb\\x00c\\x5C"), std::string::npos) << list.Out;
    EXPECT_EQ(list.Out.find('\x1b'), std::string::npos);
    EXPECT_NE(list.Out.find("    1  " + name31 + "      3           1           1\n"), std::string::npos) << list.Out;

    // A file name of exactly 31 bytes packs and extracts.
    const std::string at = Write("in/" + name31, "full");
    ASSERT_EQ(Zxc({"pack", Path("31.zxc"), at}).Status, 0);
    ASSERT_EQ(Zxc({"extract", Path("31.zxc"), "-o", Path("out31")}).Status, 0);
    EXPECT_EQ(Read(Path("out31/" + name31)), (Bytes{'f', 'u', 'l', 'l'}));
}

TEST_F(ZxcTest, AddVerifyAndScramble) {
    const std::string a = Write("in/a.txt", "alpha");
    const std::string b = Write("in/b.txt", "beta");
    ASSERT_EQ(Zxc({"pack", Path("g.zxc"), a}).Status, 0);
    ASSERT_EQ(Zxc({"add", Path("g.zxc"), b, "--kind", "1"}).Status, 0);
    TFileFolder grown(Path("g.zxc"));
    ASSERT_EQ(grown.Count(), 2);
    EXPECT_EQ(grown.Stream("a.txt")->AsString(), "alpha");
    EXPECT_EQ(grown.Stream("b.txt")->AsString(), "beta");
    EXPECT_EQ(grown.Dir[1].Kind, 1);
    EXPECT_EQ(Zxc({"add", Path("g.zxc"), b}).Err, b + ": Cannot add file (dublicate)\n");

    EXPECT_EQ(Zxc({"verify", Path("g.zxc")}).Status, 0);
    Bytes cut = Read(Path("g.zxc"));
    cut.pop_back();
    Write("g.zxc", cut);
    const TRun damaged = Zxc({"verify", Path("g.zxc")});
    EXPECT_EQ(damaged.Status, 1);
    EXPECT_EQ(damaged.Err, "1 b.txt: Cannot load file (wrong file size)\n");

    const std::string xml = Write("p.xml", "<Params>\r\n\t<Speed Value=\"3\"/>\r\n</Params>\r\n");
    ASSERT_EQ(Zxc({"scramble", xml, Path("p.sav")}).Status, 0);
    TMemoryStream scrambled;
    scrambled.LoadFromFile(Path("p.sav"));
    EXPECT_FALSE(IsPlainText(scrambled));
    ASSERT_EQ(Zxc({"unscramble", Path("p.sav"), Path("back.xml")}).Status, 0);
    EXPECT_EQ(Read(Path("back.xml")), Read(xml));
    ASSERT_EQ(Zxc({"unscramble", Path("p.sav"), Path("other.xml"), "--key", "x"}).Status, 0);
    EXPECT_NE(Read(Path("other.xml")), Read(xml));
}

TEST_F(ZxcTest, ExtractWritesEveryEntryEvenWhenNamesAreShared) {
    // Three entries the archive knows by one name (letter case aside): each
    // is extracted from its own slot, the later ones under names of their
    // own, so nothing is lost and the files pack again.
    Bytes b = Header(4);
    PutEntry(b, "same.txt", 0, 1);
    PutEntry(b, "SAME.txt", 1, 1);
    PutEntry(b, "other", 2, 1);
    PutEntry(b, "same.txt", 3, 1);
    Append(b, "1234");
    Write("dup.zxc", b);
    const TRun all = Zxc({"extract", Path("dup.zxc"), "-o", Path("out")});
    ASSERT_EQ(all.Status, 0) << all.Err;
    EXPECT_EQ(Read(Path("out/same.txt")), (Bytes{'1'}));
    EXPECT_EQ(Read(Path("out/SAME~1.txt")), (Bytes{'2'}));
    EXPECT_EQ(Read(Path("out/other")), (Bytes{'3'}));
    EXPECT_EQ(Read(Path("out/same~3.txt")), (Bytes{'4'}));
    EXPECT_NE(all.Err.find("entry 3 \"same.txt\" shares its name with entry 0; written as \"same~3.txt\""),
              std::string::npos)
        << all.Err;

    // Asking for the name gives every entry of that name.
    const TRun named = Zxc({"extract", Path("dup.zxc"), "Same.TXT", "-o", Path("named")});
    ASSERT_EQ(named.Status, 0) << named.Err;
    EXPECT_EQ(Read(Path("named/same.txt")), (Bytes{'1'}));
    EXPECT_EQ(Read(Path("named/SAME~1.txt")), (Bytes{'2'}));
    EXPECT_EQ(Read(Path("named/same~3.txt")), (Bytes{'4'}));
    EXPECT_FALSE(std::filesystem::exists(Path("named/other")));

    // verify reports each shadowed entry against the first of its name.
    const TRun verify = Zxc({"verify", Path("dup.zxc")});
    EXPECT_EQ(verify.Status, 1);
    EXPECT_EQ(verify.Err, "1 SAME.txt: same name as entry 0\n3 same.txt: same name as entry 0\n");
}

}  // namespace
