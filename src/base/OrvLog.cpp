#include "base/OrvLog.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

#include <unistd.h>

#include "base/FileReader.h"

TOrvLog& TOrvLog::Instance() {
    static TOrvLog log;
    return log;
}

void TOrvLog::Open(const std::string& path, uint32_t startTick) {
    path_ = path;
    startTick_ = startTick;
    // unlink, not remove: a folder that happens to carry the log's name is
    // not ours to delete.
    if (!path_.empty()) ::unlink(path_.c_str());
}

void TOrvLog::Close() {
    path_.clear();
}

std::string TOrvLog::Stamp(uint32_t elapsedMs) {
    const uint32_t minutes = elapsedMs / 60000;
    const uint32_t seconds = (elapsedMs / 1000) % 60;
    const uint32_t millis = elapsedMs % 1000;
    return "{" + std::to_string(minutes) + ":" + std::to_string(seconds) + ":" + std::to_string(millis) + "} ";
}

void TOrvLog::WriteLine(const std::string& path, uint32_t elapsedMs, const std::string& text) {
    // Start-up work runs on several threads, and any of them may log (an
    // exception logs itself when it is made). Without this, two lines written
    // at once share the temporary file and one of them is lost.
    static std::mutex writing;
    std::lock_guard<std::mutex> lock(writing);
    std::string content;
    std::string error;
    TReadFailure failure = TReadFailure::None;
    if (!TryReadFile(path, content, error, kMaxLogSize, TFileKinds::RegularOnly, &failure)) {
        // A missing log starts afresh, and so does a pipe or device in its
        // place (the rename below replaces it with a plain file). A log that
        // grew past the cap, or cannot be read, is left as it is rather than
        // rewritten without its earlier lines.
        if (failure == TReadFailure::TooLarge || failure == TReadFailure::ReadError) return;
        content.clear();
    }
    content += Stamp(elapsedMs) + text + "\r\n";
    // The whole log goes to a file beside it that then replaces it, so a
    // crash or a full disk in the middle of a rewrite keeps the earlier lines.
    // No sync to disk: the log is rewritten often and only has to survive the
    // process, not a power cut.
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    bool ok = false;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
            out.close();
            ok = !out.fail();
        }
    }
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) std::remove(temp.c_str());
}

void TOrvLog::Write(const std::string& text) {
    if (path_.empty()) return;
    const uint32_t now = clock_ ? clock_() : startTick_;
    WriteLine(path_, now - startTick_, text);
}
