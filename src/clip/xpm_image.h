// The program's small pictures (the window icon, the Go button's picture) are XPM texts, which
// are C source: a front end without an XPM reader of its own reads them here.
#pragma once

#include <cstdint>
#include <vector>

namespace tessarel {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first; "None" is transparent
};

// The picture an XPM gives as its lines (the strings of its C array); empty when malformed.
Picture ReadXpm(const char* const* lines, int count);

// The window icon and the Go button's picture.
Picture ProgramIcon();
Picture GoPicture();

// The picture as a control shows it while it is disabled: grey, lighter, transparency kept.
Picture Greyed(const Picture& picture);

}  // namespace tessarel
