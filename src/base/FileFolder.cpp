#include "base/FileFolder.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

#include "base/FileReader.h"
#include "base/OrvException.h"

namespace {

// Closes a C file on every way out of a scope.
struct TFileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

// A folder, pipe or device in the archive's place is refused by name
// rather than read as a damaged archive (or waited on for ever).
TFilePtr OpenForReading(const std::string& path) {
    return TFilePtr(OpenRegularFileForReading(path));
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint8_t FoldAZ(uint8_t c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + ('a' - 'A')) : c;
}

bool SameNameAZ(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAZ(static_cast<uint8_t>(a[i])) != FoldAZ(static_cast<uint8_t>(b[i]))) return false;
    }
    return true;
}

// Size of an open file in bytes; -1 when it cannot be told.
int64_t FileSizeOf(std::FILE* f) {
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

// Reads up to count bytes; returns how many were read.
size_t ReadBytes(std::FILE* f, void* dest, size_t count) {
    return count == 0 ? 0 : std::fread(dest, 1, count, f);
}

}  // namespace

TFileFolder::TFileFolder(const std::string& fileName) : fileName_(fileName) {
    TFilePtr f = OpenForReading(fileName_);

    uint8_t header[HeaderSize];
    if (ReadBytes(f.get(), header, HeaderSize) < HeaderSize)
        throw OrvException("Cannot open FileFolder (wrong file size)");
    magic_ = GetU16(header);
    version_ = GetU16(header + 2);
    count_ = GetU16(header + 4);
    notCount_ = GetU16(header + 6);
    if (magic_ != ArchiveMagic) throw OrvException("Cannot open FileFolder (broked label)");
    if (version_ > ArchiveVersion) throw OrvException("Cannot open FileFolder (wrong version)");
    if (static_cast<uint16_t>(~count_) != notCount_) throw OrvException("Cannot open FileFolder (wrong sizing)");

    // Count is at most 65535, so the directory is at most about 3 MiB; still,
    // a short file is refused before the directory is allocated.
    const size_t dirBytes = DirEntrySize * count_;
    const int64_t fileSize = FileSizeOf(f.get());
    if (fileSize >= 0 && static_cast<uint64_t>(fileSize) < HeaderSize + dirBytes)
        throw OrvException("Cannot open Dir (wrong size)");
    std::vector<uint8_t> raw(dirBytes);
    if (ReadBytes(f.get(), raw.data(), dirBytes) < dirBytes) throw OrvException("Cannot open Dir (wrong size)");

    Dir.resize(count_);
    Files.resize(count_);
    for (size_t i = 0; i < count_; ++i) {
        const uint8_t* e = raw.data() + i * DirEntrySize;
        // The length byte may claim more than the field can hold: clamp it.
        const size_t len = std::min<size_t>(e[0], MaxNameLength);
        Dir[i].Name.assign(reinterpret_cast<const char*>(e + 1), len);
        Dir[i].Offset = GetU32(e + 36);
        Dir[i].Size = GetU32(e + 40);
        Dir[i].Kind = GetU16(e + 44);
        Files[i].Stream = std::make_unique<TMemoryStream>();
        Files[i].State = fsNotLoaded;
    }
    dataOffset_ = static_cast<uint32_t>(HeaderSize + dirBytes);
}

TFileFolder TFileFolder::Create(const std::string& fileName) {
    return TFileFolder(fileName);
}

TFileFolder TFileFolder::CreateNew(const std::string& fileName) {
    TFileFolder folder;
    folder.fileName_ = fileName;
    return folder;
}

int TFileFolder::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < Dir.size(); ++i) {
        if (SameNameAZ(Dir[i].Name, name)) return static_cast<int>(i);
    }
    return -1;
}

void TFileFolder::LoadFile(std::string_view name) {
    const int i = IndexOf(name);
    if (i < 0) throw OrvException("Cannot load file (wrong file name)");
    LoadFileAt(static_cast<size_t>(i));
}

void TFileFolder::LoadFileAt(size_t index) {
    if (index >= Files.size() || index >= Dir.size()) throw OrvException("Cannot load file (wrong file name)");
    TMemFile& slot = Files[index];
    slot.Stream->Clear();
    slot.State = fsNotLoaded;
    TFilePtr f = OpenForReading(fileName_);
    LoadSlot(index, f.get(), FileSizeOf(f.get()));
}

void TFileFolder::LoadAll() {
    TFilePtr f;
    int64_t fileSize = -1;
    for (size_t i = 0; i < Files.size(); ++i) {
        if (Files[i].State != fsNotLoaded) continue;
        Files[i].Stream->Clear();
        if (!f) {
            f = OpenForReading(fileName_);
            fileSize = FileSizeOf(f.get());
        }
        LoadSlot(i, f.get(), fileSize);
    }
}

void TFileFolder::LoadSlot(size_t i, std::FILE* f, int64_t fileSize) {
    TMemFile& slot = Files[i];
    const TDirEntry& entry = Dir[i];
    // Check that the entry lies inside the file before allocating its size:
    // a damaged directory must not make us reserve gigabytes.
    const uint64_t end = static_cast<uint64_t>(entry.Offset) + entry.Size;
    const uint64_t start = static_cast<uint64_t>(dataOffset_) + entry.Offset;
    if (end > std::numeric_limits<uint32_t>::max() || fileSize < 0 ||
        static_cast<uint64_t>(dataOffset_) + end > static_cast<uint64_t>(fileSize) ||
        ::fseeko(f, static_cast<off_t>(start), SEEK_SET) != 0)
        throw OrvException("Cannot load file (wrong file size)");

    slot.Stream->SetSize(entry.Size);
    if (ReadBytes(f, slot.Stream->Data(), entry.Size) < entry.Size) {
        slot.Stream->Clear();
        throw OrvException("Cannot load file (wrong file size)");
    }
    slot.Stream->Seek(0);
    slot.State = fsLoaded;
}

void TFileFolder::AddFile(std::string_view name, uint16_t kind, TMemoryStream& stream) {
    if (IndexOf(name) >= 0) throw OrvException("Cannot add file (dublicate)");
    // A longer name would have to be cut, and the cut name could equal an
    // entry already present: refuse it instead.
    if (name.size() > MaxNameLength) throw OrvException("Cannot add file (name too long)");
    if (Dir.size() >= MaxCount) throw OrvException("Cannot add file (too many files)");
    if (stream.Size() > std::numeric_limits<uint32_t>::max()) throw OrvException("Cannot add file (too large)");

    auto copy = std::make_unique<TMemoryStream>();
    stream.Seek(0);
    copy->SetSize(stream.Size());
    const size_t got = stream.Read(copy->Data(), stream.Size());
    copy->SetSize(got);
    copy->Seek(0);

    TDirEntry entry;
    entry.Name.assign(name);
    entry.Kind = kind;
    entry.Size = static_cast<uint32_t>(got);
    Dir.push_back(std::move(entry));
    Files.push_back(TMemFile{std::move(copy), fsAdded});
    count_ = static_cast<uint16_t>(Dir.size());
    notCount_ = static_cast<uint16_t>(~count_);
}

void TFileFolder::RecalcOffsets() {
    dataOffset_ = static_cast<uint32_t>(HeaderSize + DirEntrySize * Dir.size());
    uint32_t total = 0;
    for (TDirEntry& entry : Dir) {
        entry.Offset = total;
        total += entry.Size;
    }
}

void TFileFolder::SaveToFile() {
    // Dir and Files are open to callers; the header is taken from them so a
    // directory grown by hand is still written consistently.
    if (Dir.size() != Files.size() || Dir.size() > MaxCount)
        throw OrvException("Cannot save FileFolder (wrong sizing)");
    count_ = static_cast<uint16_t>(Dir.size());
    notCount_ = static_cast<uint16_t>(~count_);
    LoadAll();
    // The size field follows the stream, so an entry whose stream a caller
    // replaced is saved with its new content. Every entry's end must fit the
    // 32-bit offset field.
    uint64_t total = 0;
    for (const TMemFile& slot : Files) {
        total += slot.Stream->Size();
        if (total > std::numeric_limits<uint32_t>::max()) throw OrvException("Cannot save FileFolder (too large)");
    }
    for (size_t i = 0; i < Dir.size(); ++i) Dir[i].Size = static_cast<uint32_t>(Files[i].Stream->Size());
    RecalcOffsets();

    std::vector<uint8_t> head(HeaderSize + DirEntrySize * Dir.size(), 0);
    PutU16(head.data(), magic_);
    PutU16(head.data() + 2, version_);
    PutU16(head.data() + 4, count_);
    PutU16(head.data() + 6, notCount_);
    for (size_t i = 0; i < Dir.size(); ++i) {
        uint8_t* e = head.data() + HeaderSize + i * DirEntrySize;
        const size_t len = std::min(Dir[i].Name.size(), MaxNameLength);
        e[0] = static_cast<uint8_t>(len);
        std::memcpy(e + 1, Dir[i].Name.data(), len);
        PutU32(e + 36, Dir[i].Offset);
        PutU32(e + 40, Dir[i].Size);
        PutU16(e + 44, Dir[i].Kind);
    }

    // Written beside the target and renamed over it: a failed save leaves
    // the old archive (which may be the very file being rewritten) intact.
    const std::string temp = fileName_ + ".tmp" + std::to_string(::getpid());
    const std::string failure = "Cannot write file " + fileName_;
    std::FILE* raw = std::fopen(temp.c_str(), "wb");
    if (!raw) throw OrvException(failure);
    bool ok = std::fwrite(head.data(), 1, head.size(), raw) == head.size();
    for (size_t i = 0; ok && i < Files.size(); ++i) {
        const TMemoryStream& s = *Files[i].Stream;
        ok = s.Size() == 0 || std::fwrite(s.Data(), 1, s.Size(), raw) == s.Size();
    }
    ok = ok && std::fflush(raw) == 0 && ::fsync(::fileno(raw)) == 0;
    ok = (std::fclose(raw) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), fileName_.c_str()) != 0) {
        std::remove(temp.c_str());
        throw OrvException(failure);
    }
}

TMemoryStream* TFileFolder::Stream(std::string_view name) {
    const int i = IndexOf(name);
    if (i < 0) return nullptr;
    TMemFile& slot = Files[static_cast<size_t>(i)];
    if (slot.State != fsAdded) LoadFile(name);
    slot.Stream->Seek(0);
    return slot.Stream.get();
}
