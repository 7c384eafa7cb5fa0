#include "clip/xpm_image.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace tessarel {
namespace {

#include "../../resources/go.xpm"
#include "../../resources/tessarel.xpm"

}  // namespace

Picture ReadXpm(const char* const* lines, int count) {
    Picture picture;
    int width = 0, height = 0, colours = 0, per_pixel = 0;
    if (count < 1 ||
        std::sscanf(lines[0], "%d %d %d %d", &width, &height, &colours, &per_pixel) != 4 ||
        width <= 0 || height <= 0 || per_pixel <= 0 || count < 1 + colours + height) {
        return picture;
    }
    std::map<std::string, uint32_t> table;
    for (int i = 0; i < colours; ++i) {
        const std::string line = lines[1 + i];
        const std::string key = line.substr(0, static_cast<size_t>(per_pixel));
        const size_t c = line.find(" c ", static_cast<size_t>(per_pixel) - 1);
        const std::string value = c == std::string::npos ? "" : line.substr(c + 3);
        uint32_t argb = 0;
        if (value.size() == 7 && value[0] == '#') {
            argb = 0xFF000000u | static_cast<uint32_t>(std::stoul(value.substr(1), nullptr, 16));
        }
        table[key] = argb;  // "None" and what is not #RRGGBB: transparent
    }
    for (int y = 0; y < height; ++y) {
        const std::string row = lines[1 + colours + y];
        for (int x = 0; x < width; ++x) {
            const auto found = table.find(row.substr(size_t(x * per_pixel), size_t(per_pixel)));
            picture.pixels.push_back(found == table.end() ? 0 : found->second);
        }
    }
    picture.width = width;
    picture.height = height;
    return picture;
}

Picture ProgramIcon() {
    return ReadXpm(tessarel_xpm, static_cast<int>(sizeof tessarel_xpm / sizeof tessarel_xpm[0]));
}

Picture GoPicture() {
    return ReadXpm(go_xpm, static_cast<int>(sizeof go_xpm / sizeof go_xpm[0]));
}

Picture Greyed(const Picture& picture) {
    Picture grey = picture;
    for (uint32_t& pixel : grey.pixels) {
        const uint32_t r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
        // Luminance (ITU-R BT.601 weights), then halfway to white.
        const uint32_t level = ((r * 299 + g * 587 + b * 114) / 1000 + 255) / 2;
        pixel = (pixel & 0xFF000000) | level << 16 | level << 8 | level;
    }
    return grey;
}

}  // namespace tessarel
