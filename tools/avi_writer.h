// Writes small silent AVI clips from palettised pictures: the clip generator uses it, and so
// do the reader's tests, in each encoding the reader accepts.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tessarel {

enum class AviEncoding { Rgb8, Rle8, Rgb24 };

struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // top row first, one palette index per pixel
};

// The palette holds 0x00RRGGBB values.
std::vector<uint8_t> WriteAvi(const std::vector<IndexedPicture>& frames,
                              const std::array<uint32_t, 256>& palette, int frames_per_second,
                              AviEncoding encoding);

// A clip whose frame chunks are given as stored bytes, for clips no encoder here would make.
std::vector<uint8_t> WriteAviChunks(int width, int height,
                                    const std::vector<std::vector<uint8_t>>& chunks,
                                    const std::array<uint32_t, 256>& palette, int frames_per_second,
                                    AviEncoding encoding);

// One picture in RLE-8, bottom row first, as a bitmap stores it.
std::vector<uint8_t> EncodeRle8(const IndexedPicture& picture);

}  // namespace tessarel
