// Reader for the silent animation clips the window plays: RIFF AVI holding one video stream
// of uncompressed 8-bit palettised, RLE-8 or 24-bit frames. Everything is checked against the
// bytes actually present; a damaged clip is refused, never half-read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarel {

struct AviClip {
    int width = 0;
    int height = 0;
    int frame_interval_us = 0;  // time each frame stays on screen
    // Decoded frames, top row first, one 0xAARRGGBB value per pixel.
    std::vector<std::vector<uint32_t>> frames;
};

// Limits that keep a hostile clip from taking the program's memory.
constexpr int kAviMaxSide = 4096;
constexpr size_t kAviMaxPixelsTotal = 16u * 1024u * 1024u;  // over all frames
constexpr size_t kAviMaxFileBytes = 64u * 1024u * 1024u;

// Parses a clip held in memory. On failure returns nothing and, if asked, says why.
std::optional<AviClip> ParseAvi(const uint8_t* data, size_t size, std::string* why = nullptr);

// Gives the clip's background (the colour of each frame's top left pixel, as a transparent
// animation control takes it) the colour argb, so the clip stands on the window's own colour.
void SetClipBackground(AviClip& clip, uint32_t argb);

// Reads and parses the clip at path.
std::optional<AviClip> LoadAvi(const std::string& path, std::string* why = nullptr);

}  // namespace tessarel
