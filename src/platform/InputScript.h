// Scripted input for headless and reproducible runs (--input FILE): a text
// file of timed mouse and key events that the engine injects as if they had
// come from the window. One event per line:
//
//   frame N mousemove X Y [mods]
//   frame N mousedown left|right|middle X Y [mods]
//   frame N mouseup left|right|middle X Y [mods]
//   frame N click left|right|middle X Y [mods]     (down and up)
//   frame N wheel DELTA X Y [mods]                  (DELTA in notches: 1 up, -1 down)
//   frame N key NAME [mods]                         (down, press, up)
//   frame N keydown NAME [mods] / frame N keyup NAME [mods]
//   frame N text "UTF-8 text"                       (characters typed)
//   frame N deactivate / frame N activate / frame N quit
//
// mods are any of shift, ctrl, alt. Key names: enter, escape, space,
// backspace, tab, delete, insert, home, end, pageup, pagedown, up, down,
// left, right, f1..f12, a..z, 0..9. A '#' outside quoted text starts a
// comment to the end of the line; blank lines are ignored. Frames count from
// 0; events of one frame keep their order.
#pragma once

#include "platform/Window.h"

#include <cstdint>
#include <string>
#include <vector>

struct TScriptedEvent {
    uint32_t Frame = 0;
    TWindowEvent Event;
};

class TInputScript {
public:
    // Largest script file accepted.
    static constexpr size_t kMaxFileSize = 8u * 1024u * 1024u;
    // Largest frame number accepted (about 11 hours at 60 frames a second).
    static constexpr uint32_t kMaxFrame = 1000u * 1000u * 10u;

    // Parses script text. Throws OrvException "Input script line N: " +
    // what is wrong, for the first bad line.
    void Parse(const std::string& text);
    // Reads and parses a file (a pipe too). Throws the reader's OrvException
    // naming the file when it cannot be opened or read, is a folder or is
    // larger than kMaxFileSize, else Parse's errors.
    void LoadFromFile(const std::string& path);

    // Appends the events of one frame, in script order, to out.
    void EventsForFrame(uint32_t frame, std::vector<TWindowEvent>& out);
    // True when every event has been handed out.
    bool Finished() const { return next_ >= events_.size(); }
    const std::vector<TScriptedEvent>& Events() const { return events_; }

private:
    std::vector<TScriptedEvent> events_;  // sorted by frame, stable
    size_t next_ = 0;
};
