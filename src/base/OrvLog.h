// The game log "Moswick.log": one line per event, each stamped with the time
// since start-up as "{minutes:seconds:milliseconds} ". The file is reread and
// rewritten (through a temporary file and a rename) for every line, so a
// crash never loses what was written before; that is why the game logs only
// at start-up, shutdown and on errors.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TOrvLog {
public:
    // Largest log that is still read and rewritten; past it, lines are
    // dropped instead (a run logs a few kilobytes).
    static constexpr uint64_t kMaxLogSize = 16ull * 1024 * 1024;

    // The process-wide log (the game has exactly one log file).
    static TOrvLog& Instance();

    // Starts a log at path: deletes an existing file there and takes startTick
    // as the origin of the stamps. An empty path closes the log (Write then
    // does nothing).
    void Open(const std::string& path, uint32_t startTick);
    void Close();
    bool IsOpen() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }

    // The millisecond clock the stamps are measured with; the engine points it
    // at the platform tick (or the test's virtual clock).
    void SetClock(std::function<uint32_t()> clock) { clock_ = std::move(clock); }

    // Appends one stamped line. Failure to write the file is swallowed: the
    // log must never take the game down.
    void Write(const std::string& text);

    // "{m:s:ms} " for an elapsed time in milliseconds, no leading zeros.
    static std::string Stamp(uint32_t elapsedMs);

    // Appends one stamped line to an arbitrary file (the engine's WriteLog):
    // loads the whole file if it exists, adds the line, writes it all back
    // through a temporary file renamed over it. A failure leaves the old
    // file as it was and is not reported; nothing here throws. A folder in
    // the log's place stays (the line is lost), a pipe or device is replaced
    // by a plain file, and a log past kMaxLogSize is no longer written.
    // Safe to call from several threads at once: lines are written one
    // after another.
    static void WriteLine(const std::string& path, uint32_t elapsedMs, const std::string& text);

private:
    TOrvLog() = default;
    std::string path_;
    uint32_t startTick_ = 0;
    std::function<uint32_t()> clock_;
};
