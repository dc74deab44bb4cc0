// Feeds arbitrary bytes to the interface file loader; whatever loads is shown
// window by window, driven with the mouse and keys, animated and drawn.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzUiKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzUi session;
    try {
        session.ui.LoadInterfaceFromString(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const OrvException&) {
        // A refused file may leave what was made before the fault: that must
        // still behave.
    }
    session.Exercise();
    return 0;
}
