// TFileFolder: the resource archive ("game.zxc") every picture, document,
// font, sound and effect library of the game is read from.
//
// File layout (little-endian): an 8-byte header (Magic 12345, Version 0,
// Count, NotCount = ~Count), Count directory entries of 48 bytes each, then
// the entries' bytes back to back in directory order. A directory entry is a
// length-prefixed name in 32 bytes, 4 reserved bytes, the offset relative to
// the data area, the size, a 16-bit kind code and 2 reserved bytes.
//
// Opening reads only the directory; an entry's bytes are read into its slot's
// memory stream when asked for. The archive file itself is opened and closed
// inside each operation, so the object can stay alive for the whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvStream.h"

// One directory entry as it is kept in memory. Name holds the bytes of the
// length-prefixed name (at most 31 of them).
struct TDirEntry {
    std::string Name;
    uint32_t Offset = 0;  // relative to the start of the data area
    uint32_t Size = 0;
    uint16_t Kind = 0;  // the adder's code; the archive gives it no meaning
};

using TDir = std::vector<TDirEntry>;

// States of a file slot.
enum : uint8_t {
    fsLoaded = 0,     // bytes read from the archive file into the stream
    fsNotLoaded = 1,  // still only in the archive file; the stream is empty
    fsAdded = 2,      // added in memory by AddFile
};

// One slot per directory entry: the entry's bytes once loaded, and where
// they come from.
struct TMemFile {
    std::unique_ptr<TMemoryStream> Stream;  // owned, never null
    uint8_t State = fsNotLoaded;
};

using TMemFiles = std::vector<TMemFile>;

class TFileFolder {
public:
    static constexpr uint16_t ArchiveMagic = 12345;
    static constexpr uint16_t ArchiveVersion = 0;
    static constexpr size_t HeaderSize = 8;
    static constexpr size_t DirEntrySize = 48;
    static constexpr size_t MaxNameLength = 31;
    static constexpr size_t MaxCount = 65535;

    // Opens the existing archive FileName and reads its header and directory;
    // every slot starts empty with state fsNotLoaded. Throws OrvException
    // "Cannot open file " + FileName when the file cannot be opened, "Cannot
    // read file " + FileName + " (...)" when it is a folder, pipe or device,
    // or one of "Cannot open FileFolder (wrong file size)", "... (broked
    // label)", "... (wrong version)", "... (wrong sizing)", "Cannot open Dir
    // (wrong size)" when it is not a well-formed archive.
    explicit TFileFolder(const std::string& fileName);

    // Same as the constructor (the usual way to open the game's archive).
    static TFileFolder Create(const std::string& fileName);
    // An empty archive that SaveToFile will write to fileName. Touches no file.
    static TFileFolder CreateNew(const std::string& fileName);

    TFileFolder(TFileFolder&&) noexcept = default;
    TFileFolder& operator=(TFileFolder&&) noexcept = default;
    TFileFolder(const TFileFolder&) = delete;
    TFileFolder& operator=(const TFileFolder&) = delete;
    ~TFileFolder() = default;

    // Directory index of the first entry whose name equals name, comparing
    // the letters A-Z without regard to case (other bytes exactly); -1 when
    // there is none.
    int IndexOf(std::string_view name) const;

    // Reads the entry's bytes from the archive file into its slot's stream
    // (replacing what it held, position 0) and marks it fsLoaded. Throws
    // "Cannot load file (wrong file name)" for an unknown name and "Cannot
    // load file (wrong file size)" when the entry does not lie within the
    // file; "Cannot open file " + FileName when the archive file cannot be
    // opened. On failure the stream is left empty and the slot goes back to
    // fsNotLoaded, so a later save reads it again instead of writing it empty.
    void LoadFile(std::string_view name);
    // The same for the slot at index, so entries that share a name (in a
    // foreign or damaged archive) can each be read. Throws "Cannot load file
    // (wrong file name)" for an index past the last entry, else as LoadFile.
    void LoadFileAt(size_t index);
    // Loads every slot still in state fsNotLoaded, slot by slot (so entries
    // of a foreign archive that share a name are each read, not the first
    // one again and again). Throws what LoadFile throws.
    void LoadAll();

    // Appends an entry holding a copy of the whole of stream (read from its
    // start; the stream's position is left at its end). Throws "Cannot add
    // file (dublicate)" when the name is present already (case-insensitive),
    // "Cannot add file (name too long)" for a name over 31 bytes, "Cannot add
    // file (too many files)" past 65535 entries and "Cannot add file (too
    // large)" for a stream over 4 GiB - 1 bytes.
    void AddFile(std::string_view name, uint16_t kind, TMemoryStream& stream);

    // Writes the whole archive to FileName. Entries still only in the old
    // file are loaded first, so an opened archive can be rewritten in place.
    // The bytes go to a temporary file beside the target that is renamed over
    // it, so a failure never leaves a half-written archive. Throws "Cannot
    // save FileFolder (wrong sizing)" when Dir and Files differ in length or
    // pass 65535 entries, "Cannot save FileFolder (too large)" when the data
    // area would pass 4 GiB, what LoadFile throws for an unreadable entry, and
    // "Cannot write file " + FileName when the file cannot be written.
    void SaveToFile();

    // Recomputes DataOffset and every entry's offset from the sizes.
    void RecalcOffsets();

    // The loaded stream of the named entry at position 0, reading it from the
    // archive file first unless it was added in memory (so it is read again
    // on each call); nullptr when the name is not in the archive. Load
    // failures throw as LoadFile does. The archive keeps ownership.
    TMemoryStream* Stream(std::string_view name);

    const std::string& FileName() const { return fileName_; }
    uint32_t DataOffset() const { return dataOffset_; }
    uint16_t Magic() const { return magic_; }
    uint16_t Version() const { return version_; }
    uint16_t Count() const { return count_; }
    uint16_t NotCount() const { return notCount_; }

    // One entry per file in archive order, and the slot of each. Callers read
    // and use these but add entries only through AddFile.
    TDir Dir;
    TMemFiles Files;

private:
    TFileFolder() = default;

    // Reads slot i, already emptied and marked fsNotLoaded by the caller,
    // from the open archive file f of fileSize bytes; throws as LoadFile does
    // and leaves the slot unread on failure.
    void LoadSlot(size_t i, std::FILE* f, int64_t fileSize);

    std::string fileName_;
    uint32_t dataOffset_ = HeaderSize;
    uint16_t magic_ = ArchiveMagic;
    uint16_t version_ = ArchiveVersion;
    uint16_t count_ = 0;
    uint16_t notCount_ = 0xFFFF;
};
