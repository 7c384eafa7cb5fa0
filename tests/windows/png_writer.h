// Writes a picture of a window as PNG, uncompressed (stored blocks): enough for a screenshot
// without a library.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tessarel {

inline uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// pixels: 0xAARRGGBB, top row first.
inline bool WritePng(const std::string& path, int width, int height,
                     const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            raw.push_back(uint8_t(p >> 16));
            raw.push_back(uint8_t(p >> 8));
            raw.push_back(uint8_t(p));
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (const uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0;) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + n));
        at += n;
        if (n == 0) {
            break;
        }
    }
    const uint32_t adler = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8) {
        z.push_back(uint8_t(adler >> shift));
    }
    std::ofstream out(path, std::ios::binary);
    auto be32 = [&](uint32_t v) {
        const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        out.write(bytes, 4);
    };
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        be32(uint32_t(data.size()));
        std::vector<uint8_t> crc_data(type, type + 4);
        crc_data.insert(crc_data.end(), data.begin(), data.end());
        out.write(type, 4);
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        be32(Crc32(crc_data.data(), crc_data.size()));
    };
    out.write("\x89PNG\r\n\x1a\n", 8);
    std::vector<uint8_t> header = {uint8_t(width >> 24),
                                   uint8_t(width >> 16),
                                   uint8_t(width >> 8),
                                   uint8_t(width),
                                   uint8_t(height >> 24),
                                   uint8_t(height >> 16),
                                   uint8_t(height >> 8),
                                   uint8_t(height),
                                   8,
                                   2,
                                   0,
                                   0,
                                   0};
    chunk("IHDR", header);
    chunk("IDAT", z);
    chunk("IEND", {});
    return bool(out);
}

}  // namespace tessarel
