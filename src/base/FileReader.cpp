#include "base/FileReader.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/OrvException.h"

namespace {

// Closes a descriptor on every way out of a scope.
struct TDescriptor {
    int Fd = -1;
    ~TDescriptor() {
        if (Fd >= 0) ::close(Fd);
    }
};

struct TReadResult {
    TReadFailure Failure = TReadFailure::None;
    std::string Message;
};

TReadResult Failed(TReadFailure failure, std::string message) {
    return TReadResult{failure, std::move(message)};
}

std::string CannotRead(const std::string& path, const std::string& why) {
    return "Cannot read file " + path + " (" + why + ")";
}

std::string TooLargeMessage(const std::string& path, uint64_t maxSize) {
    return CannotRead(path, "larger than " + std::to_string(maxSize) + " bytes");
}

// Whether a file of this kind may be read at all; sets result when not.
bool KindAllowed(const std::string& path, const struct stat& st, TFileKinds kinds, TReadResult& result) {
    if (S_ISREG(st.st_mode)) return true;
    if (S_ISDIR(st.st_mode)) {
        result = Failed(TReadFailure::NotAFile, CannotRead(path, "it is a folder"));
        return false;
    }
    if (kinds == TFileKinds::AlsoStreams && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) return true;
    result = Failed(TReadFailure::NotAFile, CannotRead(path, "not a regular file"));
    return false;
}

// Opens path without blocking (a pipe without a writer must not stall the
// open) and checks what it is; the descriptor is then made blocking again,
// so reading a pipe waits for its writer as any reader would.
TReadResult OpenChecked(const std::string& path, TFileKinds kinds, TDescriptor& fd, struct stat& st) {
    TReadResult result;
    // A look before opening: some devices act on being opened.
    if (::stat(path.c_str(), &st) == 0 && !KindAllowed(path, st, kinds, result)) return result;
    fd.Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd.Fd < 0) return Failed(TReadFailure::CannotOpen, "Cannot open file " + path);
    // And a second look at what was opened, which may have been swapped in
    // since the first.
    if (::fstat(fd.Fd, &st) != 0) return Failed(TReadFailure::ReadError, CannotRead(path, std::strerror(errno)));
    if (!KindAllowed(path, st, kinds, result)) return result;
    const int flags = ::fcntl(fd.Fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd.Fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
        return Failed(TReadFailure::ReadError, CannotRead(path, std::strerror(errno)));
    return result;
}

template <typename TBuffer>
TReadResult ReadAll(const std::string& path, TBuffer& out, uint64_t maxSize, TFileKinds kinds) {
    out.clear();
    TDescriptor fd;
    struct stat st {};
    TReadResult result = OpenChecked(path, kinds, fd, st);
    if (result.Failure != TReadFailure::None) return result;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        if (static_cast<uint64_t>(st.st_size) > maxSize)
            return Failed(TReadFailure::TooLarge, TooLargeMessage(path, maxSize));
        out.reserve(static_cast<size_t>(st.st_size));
    }
    // The size a file claims is only a hint (it may grow while it is read,
    // and /proc files claim 0): the cap is held while reading too.
    constexpr size_t kChunk = 64 * 1024;
    char chunk[kChunk];
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd.Fd, chunk, kChunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            const std::string why = std::strerror(errno);
            out.clear();
            return Failed(TReadFailure::ReadError, CannotRead(path, why));
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        if (total > maxSize) {
            out.clear();
            return Failed(TReadFailure::TooLarge, TooLargeMessage(path, maxSize));
        }
        out.insert(out.end(), chunk, chunk + n);
    }
    return result;
}

}  // namespace

bool TryReadFile(const std::string& path, std::string& out, std::string& error, uint64_t maxSize, TFileKinds kinds,
                 TReadFailure* failure) {
    const TReadResult r = ReadAll(path, out, maxSize, kinds);
    if (failure) *failure = r.Failure;
    error = r.Message;
    return r.Failure == TReadFailure::None;
}

std::string ReadFileText(const std::string& path, uint64_t maxSize, TFileKinds kinds) {
    std::string out;
    const TReadResult r = ReadAll(path, out, maxSize, kinds);
    if (r.Failure != TReadFailure::None) throw OrvException(r.Message);
    return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t maxSize, TFileKinds kinds) {
    std::vector<uint8_t> out;
    const TReadResult r = ReadAll(path, out, maxSize, kinds);
    if (r.Failure != TReadFailure::None) throw OrvException(r.Message);
    return out;
}

std::FILE* OpenRegularFileForReading(const std::string& path) {
    TDescriptor fd;
    struct stat st {};
    const TReadResult r = OpenChecked(path, TFileKinds::RegularOnly, fd, st);
    if (r.Failure != TReadFailure::None) throw OrvException(r.Message);
    std::FILE* f = ::fdopen(fd.Fd, "rb");
    if (!f) throw OrvException("Cannot open file " + path);
    fd.Fd = -1;  // the stream owns it now
    return f;
}
