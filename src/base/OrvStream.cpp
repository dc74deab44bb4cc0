#include "base/OrvStream.h"

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/OrvException.h"

size_t TMemoryStream::Read(void* dest, size_t count) {
    if (pos_ >= data_.size() || count == 0) return 0;
    const size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(dest, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

void TMemoryStream::Write(const void* src, size_t count) {
    if (count == 0) return;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, src, count);
    pos_ += count;
}

void TMemoryStream::SetSize(size_t size) {
    data_.resize(size);
    if (pos_ > size) pos_ = size;
}

void TMemoryStream::LoadFromFile(const std::string& path, uint64_t maxSize, TFileKinds kinds) {
    data_ = ReadFileBytes(path, maxSize, kinds);
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const {
    if (!WriteFileAtomically(path, data_.data(), data_.size())) throw OrvException("Cannot write file " + path);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::string error;
    return TryReadFile(path, out, error);
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    // A file that is replaced keeps its permissions (a private file stays
    // private); a new one gets the usual ones. O_NOFOLLOW: whatever sits at
    // the temporary name is not followed anywhere.
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, replacing ? 0600 : 0666);
    if (fd < 0) return false;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        std::remove(temp.c_str());
        return false;
    }
    const bool moded = !replacing || ::fchmod(fd, old.st_mode & 07777) == 0;
    const bool written = (size == 0 || std::fwrite(data, 1, size, f) == size);
    const bool flushed = std::fflush(f) == 0 && ::fsync(fd) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!(moded && written && flushed && closed) || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
