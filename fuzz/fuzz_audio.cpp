// Feeds arbitrary bytes to the audio loaders: the first byte chooses the
// Ogg Vorbis sample path or the tracker module path, the rest is the file.
// Whatever loads is played for a moment (a module also restarted while it
// sounds), so the decoders and the mixer both see the data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/AudioMixer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    TAudioMixer mixer;
    std::vector<float> out(512 * 2);
    if (data[0] & 1) {
        uint32_t s = mixer.LoadSample(data + 1, size - 1, 5, TAudioMixer::ovLongest);
        if (s != 0) {
            mixer.PlaySample(s, 0, -1, 100, 0, false);
            mixer.Render(out.data(), 512);
        }
    } else {
        uint32_t m = mixer.LoadMusic(data + 1, size - 1, 5);
        if (m != 0 && mixer.PlayMusic(m, 0, -1, false)) {
            mixer.Render(out.data(), 512);
            // A restart while it sounds: the old module fades out beside a
            // fresh one started at the last order.
            mixer.SetVolume(m, 0);
            mixer.SlideVolume(m, 100, 5);
            if (mixer.PlayMusic(m, uint32_t(mixer.MusicOrders(m) - 1), -1, true)) mixer.Render(out.data(), 512);
        }
    }
    return 0;
}
