// The one way the game reads a whole file into memory. Every loader goes
// through here, so none of them can be made to hang on a pipe, read a device
// without end, trip over a folder, or allocate whatever a file's size claims:
//
//   std::string text = ReadFileText(path, 4u << 20);           // throws OrvException
//   std::string text;
//   std::string error;
//   if (!TryReadFile(path, text, error)) { ... }               // never throws
//
// Only regular files are read unless the caller allows streams: then pipes
// and character devices (a process substitution, /dev/stdin) are read too,
// up to the same size cap. The cap is checked against the file's size before
// anything is read and again while reading, so a file that grows, or a device
// without end, stops at the cap. Every message names the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Largest file a whole-file read accepts unless the caller gives its own cap.
inline constexpr uint64_t kDefaultMaxFileSize = 64ull * 1024 * 1024;

// Which kinds of file a read accepts.
enum class TFileKinds : uint8_t {
    RegularOnly,  // the game's own files: folders, pipes, devices and sockets are refused
    AlsoStreams,  // files named on a command line: pipes and character devices are read too
};

// Why a read failed.
enum class TReadFailure : uint8_t {
    None,
    CannotOpen,  // missing, or no permission
    NotAFile,    // a folder, or a pipe, device or socket the caller did not allow
    TooLarge,    // larger than the cap (before or while reading)
    ReadError,   // the system reported an error while reading
};

// Reads the whole of path into out (replacing its content). Returns false
// with a message naming the file in error (and the reason in failure when
// given); out is then empty. Never throws, and writes nothing to the log.
bool TryReadFile(const std::string& path, std::string& out, std::string& error, uint64_t maxSize = kDefaultMaxFileSize,
                 TFileKinds kinds = TFileKinds::RegularOnly, TReadFailure* failure = nullptr);

// The same, throwing OrvException with that message on failure:
// "Cannot open file " + path when it cannot be opened, "Cannot read file " +
// path + " (it is a folder)", "... (not a regular file)", "... (larger than
// N bytes)" or "... (" + the system's reason + ")". The caller owns the result.
std::string ReadFileText(const std::string& path, uint64_t maxSize = kDefaultMaxFileSize,
                         TFileKinds kinds = TFileKinds::RegularOnly);
std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t maxSize = kDefaultMaxFileSize,
                                   TFileKinds kinds = TFileKinds::RegularOnly);

// Opens a regular file for reading in binary mode, refusing folders, pipes
// and devices, so a caller that reads a file in parts (the archive) cannot
// block on a pipe either. Throws OrvException with the messages above; the
// caller owns (and closes) the result.
std::FILE* OpenRegularFileForReading(const std::string& path);
