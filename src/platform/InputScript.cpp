#include "platform/InputScript.h"

#include "base/FileReader.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// Splits a line into blank-separated words; a word in double quotes may hold
// blanks (used by "text"). A '#' that begins a word outside quotes starts a
// comment that runs to the end of the line.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string::npos) {
                error = "unterminated quoted text";
                return false;
            }
            words.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        words.push_back(line.substr(i, j - i));
        i = j;
    }
    return true;
}

bool IsButtonName(const std::string& s) {
    const std::string b = Lower(s);
    return b == "left" || b == "right" || b == "middle";
}

// Control names are the interface's object names: they start with a letter
// and hold letters, digits, "_" and ".". Coordinates and modifiers never
// look like that, except the words below.
bool IsControlName(const std::string& s) {
    if (s.empty() || !((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'))) return false;
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.'))
            return false;
    const std::string l = Lower(s);
    return !IsButtonName(s) && l != "shift" && l != "ctrl" && l != "control" && l != "alt";
}

bool ParseInt(const std::string& s, int64_t lo, int64_t hi, int64_t& out) {
    if (s.empty() || s.size() > 12) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

}  // namespace

void TInputScript::Parse(const std::string& text) {
    events_.clear();
    next_ = 0;
    size_t pos = 0;
    uint32_t lineNo = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        auto fail = [&](const std::string& what) {
            throw OrvException("Input script line " + std::to_string(lineNo) + ": " + what);
        };
        std::vector<std::string> w;
        std::string err;
        if (!SplitWords(line, w, err)) fail(err);
        if (w.empty()) {
            if (end == text.size()) break;
            continue;
        }
        if (w.size() < 3 || Lower(w[0]) != "frame") fail("expected \"frame N EVENT ...\"");
        int64_t frame = 0;
        if (!ParseInt(w[1], 0, kMaxFrame, frame)) fail("bad frame number \"" + w[1] + "\"");
        const std::string verb = Lower(w[2]);
        size_t arg = 3;

        auto needArgs = [&](size_t n) {
            if (w.size() < arg + n) fail("too few values for \"" + verb + "\"");
        };
        auto coord = [&](const std::string& s) {
            int64_t v = 0;
            if (!ParseInt(s, -100000, 100000, v)) fail("bad coordinate \"" + s + "\"");
            return static_cast<int32_t>(v);
        };
        auto button = [&](const std::string& s) {
            const std::string b = Lower(s);
            if (b == "left") return mbLeft;
            if (b == "right") return mbRight;
            if (b == "middle") return mbMiddle;
            fail("unknown mouse button \"" + s + "\"");
            return mbLeft;
        };
        auto mods = [&](size_t from) {
            TShiftState s = 0;
            for (size_t i = from; i < w.size(); ++i) {
                const std::string m = Lower(w[i]);
                if (m == "shift")
                    s |= ssShift;
                else if (m == "ctrl" || m == "control")
                    s |= ssCtrl;
                else if (m == "alt")
                    s |= ssAlt;
                else
                    fail("unknown modifier \"" + w[i] + "\"");
            }
            return s;
        };
        auto push = [&](TWindowEvent e) { events_.push_back({static_cast<uint32_t>(frame), std::move(e)}); };
        auto buttonFlag = [](TMouseButton b) { return b == mbLeft ? ssLeft : b == mbRight ? ssRight : ssMiddle; };

        // A mouse event aims at X Y, or at a control by name (its centre,
        // found when the event is dispatched).
        auto target = [&](TWindowEvent& e, size_t at) {
            needArgs(1);
            if (!IsControlName(w[at])) {
                needArgs(at - arg + 2);
                e.X = coord(w[at]);
                e.Y = coord(w[at + 1]);
                return at + 2;
            }
            e.Target = w[at];
            return at + 1;
        };

        TWindowEvent e;
        if (verb == "mousemove") {
            e.Kind = TWindowEventKind::MouseMove;
            e.Shift = mods(target(e, arg));
            push(e);
        } else if (verb == "mousedown" || verb == "mouseup" || verb == "click") {
            needArgs(1);
            size_t at = arg;
            e.Button = mbLeft;
            if (IsButtonName(w[at]) || !IsControlName(w[at])) e.Button = button(w[at++]);
            if (at >= w.size()) fail("too few values for \"" + verb + "\"");
            const TShiftState m = mods(target(e, at));
            if (verb != "mouseup") {
                e.Kind = TWindowEventKind::MouseDown;
                e.Shift = m | buttonFlag(e.Button);
                push(e);
            }
            if (verb != "mousedown") {
                e.Kind = TWindowEventKind::MouseUp;
                e.Shift = m;
                push(e);
            }
        } else if (verb == "wheel") {
            needArgs(3);
            int64_t notches = 0;
            if (!ParseInt(w[arg], -1000, 1000, notches) || notches == 0) fail("bad wheel delta \"" + w[arg] + "\"");
            e.Kind = TWindowEventKind::MouseWheel;
            e.WheelDelta = static_cast<int32_t>(notches * 120);
            e.X = coord(w[arg + 1]);
            e.Y = coord(w[arg + 2]);
            e.Shift = mods(arg + 3);
            push(e);
        } else if (verb == "key" || verb == "keydown" || verb == "keyup") {
            needArgs(1);
            const int32_t vk = VirtualKeyFromName(w[arg]);
            if (vk == 0) fail("unknown key \"" + w[arg] + "\"");
            e.Key = vk;
            e.Shift = mods(arg + 1);
            if (verb != "keyup") {
                e.Kind = TWindowEventKind::KeyDown;
                push(e);
                // A key that types a character also delivers it, like a real
                // keyboard; Ctrl and Alt chords type nothing.
                if (verb == "key" && !(e.Shift & (ssCtrl | ssAlt))) {
                    TWindowEvent press;
                    press.Kind = TWindowEventKind::KeyPress;
                    press.Shift = e.Shift;
                    if (vk >= 'A' && vk <= 'Z')
                        press.Text = std::string(1, static_cast<char>((e.Shift & ssShift) ? vk : vk + 32));
                    else if ((vk >= '0' && vk <= '9') || vk == VK::Space)
                        press.Text = std::string(1, static_cast<char>(vk));
                    if (!press.Text.empty()) push(press);
                }
            }
            if (verb != "keydown") {
                e.Kind = TWindowEventKind::KeyUp;
                push(e);
            }
        } else if (verb == "text") {
            needArgs(1);
            if (w.size() > arg + 1) fail("text must be one quoted value");
            e.Kind = TWindowEventKind::KeyPress;
            e.Text = w[arg];
            push(e);
        } else if (verb == "deactivate" || verb == "activate" || verb == "quit") {
            if (w.size() > arg) fail("unexpected values after \"" + verb + "\"");
            e.Kind = verb == "quit"       ? TWindowEventKind::Quit
                     : verb == "activate" ? TWindowEventKind::Activate
                                          : TWindowEventKind::Deactivate;
            push(e);
        } else {
            fail("unknown event \"" + w[2] + "\"");
        }
        if (end == text.size()) break;
    }
    std::stable_sort(events_.begin(), events_.end(),
                     [](const TScriptedEvent& a, const TScriptedEvent& b) { return a.Frame < b.Frame; });
}

void TInputScript::LoadFromFile(const std::string& path) {
    // A pipe is fine here (--input <(generator)); a folder or a device
    // without end gets an error naming it.
    Parse(ReadFileText(path, kMaxFileSize, TFileKinds::AlsoStreams));
}

void TInputScript::EventsForFrame(uint32_t frame, std::vector<TWindowEvent>& out) {
    // Events of frames already passed (the script asked for a frame that ran
    // before the engine was listening) are delivered now rather than lost.
    while (next_ < events_.size() && events_[next_].Frame <= frame) {
        out.push_back(events_[next_].Event);
        ++next_;
    }
}
