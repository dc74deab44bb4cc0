#include "base/OrvStream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <signal.h>
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

namespace {

// The process id of a temporary name NAME.tmpPID, or 0 when name is not one.
pid_t TemporaryOwner(const std::string& name) {
    const size_t at = name.rfind(".tmp");
    if (at == std::string::npos || at == 0 || at + 4 >= name.size() || name.size() - at - 4 > 10) return 0;
    uint64_t pid = 0;
    for (size_t i = at + 4; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + uint64_t(name[i] - '0');
    }
    return pid == 0 || pid > 0x7FFFFFFF ? 0 : static_cast<pid_t>(pid);
}

bool ProcessRuns(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

std::vector<std::string> RemoveStaleTemporaryFiles(const std::string& folder) {
    std::vector<std::string> removed;
    std::error_code ec;
    std::vector<std::filesystem::path> stale;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        const pid_t owner = TemporaryOwner(path.filename().string());
        if (owner == 0 || owner == ::getpid() || ProcessRuns(owner)) continue;
        std::error_code typeError;
        const auto type = std::filesystem::symlink_status(path, typeError).type();
        if (!typeError && (type == std::filesystem::file_type::regular || type == std::filesystem::file_type::symlink))
            stale.push_back(path);
    }
    for (const std::filesystem::path& path : stale) {
        std::error_code removeError;
        if (std::filesystem::remove(path, removeError) && !removeError) removed.push_back(path.string());
    }
    return removed;
}
