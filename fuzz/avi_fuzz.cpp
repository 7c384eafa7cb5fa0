// The clip reader on any bytes: it refuses or reads, never crashes, and what it reads is whole.
#include <cstdint>
#include <cstdlib>

#include "clip/avi_clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto clip = tessarel::ParseAvi(data, size);
    if (clip) {
        if (clip->frames.empty() || clip->width <= 0 || clip->height <= 0) {
            std::abort();
        }
        for (const auto& frame : clip->frames) {
            if (frame.size() != static_cast<size_t>(clip->width) * clip->height) {
                std::abort();
            }
        }
    }
    return 0;
}
