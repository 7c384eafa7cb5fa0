// Draws the animation the main window plays during an operation (a sheet leaving a folder and
// landing on a disk) and writes it as an RLE-8 AVI clip. Run by the build, so the clip beside
// the program is always made the same way from this source.
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "avi_writer.h"

using tessarel::IndexedPicture;

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr int kWidth = 265;  // the animation control is 3975 x 735 twips
constexpr int kHeight = 49;
constexpr int kFrames = 24;
constexpr int kFramesPerSecond = 12;

enum Colour : uint8_t {
    kBackground,
    kBlack,
    kWhite,
    kGrey,
    kDarkGrey,
    kNavy,
    kBlue,
    kYellow,
    kDarkYellow,
    kRed,
    kGreen,
};

std::array<uint32_t, 256> Palette() {
    std::array<uint32_t, 256> p{};
    p[kBackground] = 0xEFEFEF;
    p[kBlack] = 0x000000;
    p[kWhite] = 0xFFFFFF;
    p[kGrey] = 0xC0C0C0;
    p[kDarkGrey] = 0x808080;
    p[kNavy] = 0x000080;
    p[kBlue] = 0x3050C0;
    p[kYellow] = 0xFFE070;
    p[kDarkYellow] = 0xC09020;
    p[kRed] = 0xE02020;
    p[kGreen] = 0x20B040;
    return p;
}

struct Canvas {
    IndexedPicture pic;
    Canvas() {
        pic.width = kWidth;
        pic.height = kHeight;
        pic.pixels.assign(size_t(kWidth) * kHeight, kBackground);
    }
    void Fill(int x, int y, int w, int h, uint8_t c) {
        for (int yy = y; yy < y + h; ++yy) {
            for (int xx = x; xx < x + w; ++xx) {
                if (xx >= 0 && xx < kWidth && yy >= 0 && yy < kHeight) {
                    pic.pixels[size_t(yy) * kWidth + xx] = c;
                }
            }
        }
    }
    void Frame(int x, int y, int w, int h, uint8_t c) {
        Fill(x, y, w, 1, c);
        Fill(x, y + h - 1, w, 1, c);
        Fill(x, y, 1, h, c);
        Fill(x + w - 1, y, 1, h, c);
    }
};

void DrawFolder(Canvas& c, int x, int y) {
    c.Fill(x, y, 14, 5, kDarkYellow);  // tab
    c.Fill(x, y + 4, 34, 26, kYellow);
    c.Frame(x, y + 4, 34, 26, kDarkYellow);
    c.Fill(x + 4, y, 6, 4, kWhite);  // a sheet peeking out
}

void DrawSheet(Canvas& c, int x, int y) {
    c.Fill(x, y, 14, 18, kWhite);
    c.Frame(x, y, 14, 18, kDarkGrey);
    for (int line = 0; line < 4; ++line) {
        c.Fill(x + 3, y + 4 + 3 * line, line == 3 ? 5 : 8, 1, kBlue);
    }
}

void DrawDisk(Canvas& c, int x, int y, bool busy) {
    c.Fill(x, y, 34, 36, kNavy);
    c.Fill(x + 9, y, 16, 12, kGrey);        // shutter
    c.Fill(x + 18, y + 2, 4, 8, kNavy);     // shutter window
    c.Fill(x + 5, y + 17, 24, 17, kWhite);  // label
    for (int line = 0; line < 3; ++line) {
        c.Fill(x + 8, y + 21 + 4 * line, 18, 1, kDarkGrey);
    }
    c.Fill(x + 1, y + 32, 3, 3, busy ? kGreen : kDarkGrey);  // activity light
}

IndexedPicture DrawFrame(int index) {
    Canvas c;
    const int folder_x = 8;
    const int disk_x = 222;
    DrawFolder(c, folder_x, 12);
    const double t = double(index) / (kFrames - 1);
    const int sheet_x = folder_x + 12 + static_cast<int>(t * (disk_x - folder_x - 16));
    const int sheet_y = 16 - static_cast<int>(std::sin(t * kPi) * 14);
    DrawDisk(c, disk_x, 8, index % 6 < 3);
    // A dotted trail behind the sheet shows the way it goes.
    for (int dot = folder_x + 40; dot < sheet_x; dot += 8) {
        const double dt = double(dot - folder_x - 12) / (disk_x - folder_x - 16);
        c.Fill(dot, 25 - static_cast<int>(std::sin(dt * kPi) * 14), 2, 2, kDarkGrey);
    }
    if (index < kFrames - 1) {
        DrawSheet(c, sheet_x, sheet_y);
    }
    return c.pic;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_clip OUTPUT.avi\n";
        return 2;
    }
    std::vector<IndexedPicture> frames;
    for (int i = 0; i < kFrames; ++i) {
        frames.push_back(DrawFrame(i));
    }
    const std::vector<uint8_t> file =
        tessarel::WriteAvi(frames, Palette(), kFramesPerSecond, tessarel::AviEncoding::Rle8);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out) {
        std::cerr << "make_clip: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
