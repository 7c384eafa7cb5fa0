// Draws the installer's own pictures from the program's icon, so its pages show Tessarel rather
// than the installer maker's stock art: the picture beside the welcome and finish pages
// (164 x 314) and the one in the other pages' header (150 x 57), as the 24-bit BMP files the
// installer takes. The icon is drawn whole pixels large, as the pixel picture it is.
//   make_installer_art SIDE.bmp HEADER.bmp
#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

#include "clip/xpm_image.h"

namespace {

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(uint8_t(v >> (8 * i)));
    }
}

// A white picture with the icon at (left, top), each of its pixels scale x scale.
bool WriteBmp(const char* path, int width, int height, int left, int top, int scale) {
    const tessarel::Picture icon = tessarel::ProgramIcon();
    std::vector<uint32_t> pixels(size_t(width) * height, 0xFFFFFFFF);
    for (int y = 0; y < icon.height * scale; ++y) {
        for (int x = 0; x < icon.width * scale; ++x) {
            const uint32_t p = icon.pixels[size_t(y / scale) * icon.width + x / scale];
            if (p >> 24 != 0 && top + y < height && left + x < width) {
                pixels[size_t(top + y) * width + left + x] = p;
            }
        }
    }
    const int row = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bmp;
    bmp.push_back('B');
    bmp.push_back('M');
    Put(bmp, uint32_t(54 + row * height), 4);
    Put(bmp, 0, 4);
    Put(bmp, 54, 4);
    Put(bmp, 40, 4);  // BITMAPINFOHEADER
    Put(bmp, uint32_t(width), 4);
    Put(bmp, uint32_t(height), 4);  // bottom row first
    Put(bmp, 1, 2);
    Put(bmp, 24, 2);
    Put(bmp, 0, 4);
    Put(bmp, uint32_t(row * height), 4);
    Put(bmp, 2835, 4);  // 72 dpi
    Put(bmp, 2835, 4);
    Put(bmp, 0, 4);
    Put(bmp, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            Put(bmp, pixels[size_t(y) * width + x] & 0xFFFFFF, 3);  // blue, green, red
        }
        bmp.resize(bmp.size() + size_t(row - width * 3), 0);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_installer_art SIDE.bmp HEADER.bmp\n";
        return 2;
    }
    if (!WriteBmp(argv[1], 164, 314, 18, 40, 4) || !WriteBmp(argv[2], 150, 57, 106, 12, 1)) {
        std::cerr << "make_installer_art: cannot write the pictures\n";
        return 1;
    }
    return 0;
}
