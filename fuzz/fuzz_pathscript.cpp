// Feeds arbitrary text to the path-script reader (first byte picks the
// dimension); a path it accepts is evaluated across its whole time range,
// beyond it and at extreme times, and its points are moved.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/OrvException.h"
#include "fx/OrvFXBase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    TOrvPiecewiseFunc f;
    f.Dim = static_cast<uint8_t>(1 + data[0] % 3);
    const std::string script(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        f.BuildFromScript(script);
    } catch (const OrvException&) {
        if (!f.Segments.empty() || f.TotalDuration != 0) std::abort();  // a failed build leaves nothing
        return 0;
    }
    if (f.Segments.size() + 1 != f.Points().size()) std::abort();
    uint64_t total = 0;
    for (const TOrvSegment& s : f.Segments) total += s.Duration;
    if (total != f.TotalDuration) std::abort();

    const int64_t T = f.TotalDuration;
    const int64_t times[] = {INT32_MIN, -1, 0, 1, T / 3, T / 2, T - 1, T, T + 1, 2 * T + 7, 3 * T + 1, INT32_MAX};
    for (int64_t t : times) {
        if (t < INT32_MIN || t > INT32_MAX) continue;
        float fraction = 0.0f;
        const int32_t seg = f.SegmentAt(static_cast<int32_t>(t), fraction);
        if (seg >= static_cast<int32_t>(f.Segments.size())) std::abort();
        f.GetValue(static_cast<int32_t>(t), false);
        f.GetValue(static_cast<int32_t>(t), true);
    }
    TOrvMorph morph;
    morph.SetDim(f.Dim);
    morph.AddFunction(&f);
    morph.GetValue(static_cast<int32_t>(T / 2), false);
    try {
        f.SetParamByName("[0]", TOrvVector(1, 2, 3));
        f.SetParam(static_cast<int32_t>(f.Points().size()), TOrvVector(-5, 5, 0));
    } catch (const OrvException&) {
    }
    return 0;
}
