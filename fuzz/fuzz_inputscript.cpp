// Parses arbitrary text as an input script (--input FILE): it is refused
// with a message naming the line, or every event comes out once, in frame
// order, within the frames and coordinates a script may use.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/OrvException.h"
#include "platform/InputScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TInputScript script;
    try {
        script.Parse(text);
    } catch (const OrvException& e) {
        if (e.Message().rfind("Input script line ", 0) != 0) std::abort();
        return 0;
    }
    uint32_t last = 0;
    for (const TScriptedEvent& e : script.Events()) {
        if (e.Frame < last || e.Frame > TInputScript::kMaxFrame) std::abort();
        last = e.Frame;
    }
    // Handed out frame by frame, each event exactly once.
    std::vector<TWindowEvent> out;
    const size_t total = script.Events().size();
    for (uint32_t frame = 0; frame <= last && frame < 64; ++frame) script.EventsForFrame(frame, out);
    script.EventsForFrame(TInputScript::kMaxFrame, out);
    if (out.size() != total || !script.Finished()) std::abort();
    script.EventsForFrame(TInputScript::kMaxFrame, out);
    if (out.size() != total) std::abort();
    return 0;
}
