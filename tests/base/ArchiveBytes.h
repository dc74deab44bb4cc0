// Test helpers shared by the archive and zxc tests: archive bytes built by
// hand from the layout (so the code under test is not its own reference),
// and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The 8-byte header; notCount defaults to the complement of count.
inline Bytes Header(uint16_t count, uint16_t magic = 12345, uint16_t version = 0) {
    Bytes b;
    Put16(b, magic);
    Put16(b, version);
    Put16(b, count);
    Put16(b, static_cast<uint16_t>(~count));
    return b;
}

// One 48-byte directory entry; lengthByte < 0 means the name's length.
inline void PutEntry(Bytes& b, const std::string& name, uint32_t offset, uint32_t size, uint16_t kind = 0,
                     int lengthByte = -1) {
    b.push_back(static_cast<uint8_t>(lengthByte < 0 ? static_cast<int>(name.size()) : lengthByte));
    for (size_t i = 0; i < 31; ++i) b.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, size);
    Put16(b, kind);
    Put16(b, 0);
}

inline void Append(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}

// A fresh folder for each test, removed afterwards.
class TScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::string Write(const std::string& name, const std::string& text) const {
        return Write(name, Bytes(text.begin(), text.end()));
    }

    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir_;
};
