// TMemoryStream: a growable byte buffer with a read/write position, the
// currency in which archive entries, XML documents and pictures are passed
// around. Plain value semantics; the owner of the object owns the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileReader.h"

class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    explicit TMemoryStream(std::string_view bytes) : data_(bytes.begin(), bytes.end()) {}

    // Copies up to count bytes from the position into dest; returns how many
    // were copied (fewer at the end of the stream) and advances the position.
    size_t Read(void* dest, size_t count);
    // Writes count bytes at the position, growing the stream as needed.
    void Write(const void* src, size_t count);
    void WriteString(std::string_view s) { Write(s.data(), s.size()); }

    size_t Position() const { return pos_; }
    // Moves the position; a position past the end is allowed (reads then
    // return nothing, a write fills the gap with zeros).
    void Seek(size_t pos) { pos_ = pos; }
    size_t Size() const { return data_.size(); }
    // Resizes the stream (new bytes are zero); the position is kept but
    // clamped to the new size.
    void SetSize(size_t size);
    void Clear() {
        data_.clear();
        pos_ = 0;
    }

    uint8_t* Data() { return data_.data(); }
    const uint8_t* Data() const { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t>& Bytes() { return data_; }
    std::string AsString() const { return std::string(data_.begin(), data_.end()); }

    // Replaces the content with the bytes of a file, position 0, through the
    // shared whole-file reader (base/FileReader.h): throws OrvException
    // naming the file when it cannot be opened, is not a file of an accepted
    // kind or is larger than maxSize; the content is then unchanged.
    void LoadFromFile(const std::string& path, uint64_t maxSize = kDefaultMaxFileSize,
                      TFileKinds kinds = TFileKinds::RegularOnly);
    // Writes the whole content to path through a temporary file beside it,
    // renamed into place, so a failed write never leaves a half-written file.
    // Throws OrvException "Cannot write file " + path on failure.
    void SaveToFile(const std::string& path) const;

private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
};

// Reads a whole regular file of at most kDefaultMaxFileSize bytes into a
// string; false when it cannot be read (see TryReadFile for the reason).
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes bytes to path through a temporary file beside it (path + ".tmp" +
// the process id) and a rename; false on failure (the target is then
// untouched). A file that is replaced keeps its permission bits.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);

// Removes the temporary files that writes killed half-way left in folder:
// regular files (or links) named NAME + ".tmp" + a process id, as
// WriteFileAtomically, the archive and the log make them, whose process no
// longer runs. Those of a running process (another copy of the game at work)
// stay. Returns the paths removed; never throws.
std::vector<std::string> RemoveStaleTemporaryFiles(const std::string& folder);
