#include "clip/avi_clip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "avi_writer.h"

namespace tessarel {
namespace {

std::array<uint32_t, 256> TestPalette() {
    std::array<uint32_t, 256> p{};
    for (int i = 0; i < 256; ++i) {
        p[i] = uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i * 7 % 256);
    }
    return p;
}

uint32_t Argb(int index) {
    return 0xFF000000u | TestPalette()[index];
}

// A picture whose every pixel tells where it is, with runs and literal stretches in each row.
IndexedPicture Pattern(int width, int height, int seed) {
    IndexedPicture p;
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            p.pixels.push_back(
                static_cast<uint8_t>(x < width / 3 ? seed + y : x * 13 + y * 7 + seed));
        }
    }
    return p;
}

std::optional<AviClip> Parse(const std::vector<uint8_t>& bytes, std::string* why = nullptr) {
    return ParseAvi(bytes.data(), bytes.size(), why);
}

TEST(AviClip, EachEncodingDecodesToThePicturesThatWereWritten) {
    const std::vector<IndexedPicture> frames = {Pattern(13, 5, 1), Pattern(13, 5, 90),
                                                Pattern(13, 5, 200)};
    for (AviEncoding enc : {AviEncoding::Rgb8, AviEncoding::Rle8, AviEncoding::Rgb24}) {
        SCOPED_TRACE(static_cast<int>(enc));
        std::string why;
        const auto clip = Parse(WriteAvi(frames, TestPalette(), 12, enc), &why);
        ASSERT_TRUE(clip) << why;
        EXPECT_EQ(clip->width, 13);
        EXPECT_EQ(clip->height, 5);
        EXPECT_EQ(clip->frame_interval_us, 83333);
        ASSERT_EQ(clip->frames.size(), 3u);
        for (size_t f = 0; f < frames.size(); ++f) {
            for (size_t i = 0; i < frames[f].pixels.size(); ++i) {
                ASSERT_EQ(clip->frames[f][i], Argb(frames[f].pixels[i]))
                    << "frame " << f << " pixel " << i;
            }
        }
    }
}

TEST(AviClip, Rle8JumpsKeepThePreviousFramesPixels) {
    IndexedPicture first = Pattern(8, 3, 10);
    // Bottom row: jump right 2 and up 1, then a run of 3 of colour 77, then end of picture.
    const std::vector<uint8_t> delta = {0, 2, 2, 1, 3, 77, 0, 1};
    // Literal stretch of 3 (padded to even), then end of line, then a run past the right edge.
    const std::vector<uint8_t> literal = {0, 3, 5, 6, 7, 0, 0, 0, 12, 9, 0, 1};
    const auto bytes = WriteAviChunks(8, 3, {EncodeRle8(first), delta, literal}, TestPalette(), 10,
                                      AviEncoding::Rle8);
    std::string why;
    const auto clip = Parse(bytes, &why);
    ASSERT_TRUE(clip) << why;
    ASSERT_EQ(clip->frames.size(), 3u);
    // Frame 2: only the middle row (stored row 1), pixels 2..4 changed.
    std::vector<uint32_t> expected = clip->frames[0];
    for (int x = 2; x < 5; ++x) {
        expected[1 * 8 + x] = Argb(77);
    }
    EXPECT_EQ(clip->frames[1], expected);
    // Frame 3: bottom row starts 5 6 7, the next row up is all 9 (the run is cut at the edge).
    for (int x = 0; x < 3; ++x) {
        expected[2 * 8 + x] = Argb(5 + x);
    }
    for (int x = 0; x < 8; ++x) {
        expected[1 * 8 + x] = Argb(9);
    }
    EXPECT_EQ(clip->frames[2], expected);
}

TEST(AviClip, TopDownRowsAreReadTopDown) {
    std::vector<uint8_t> bytes = WriteAvi({Pattern(4, 2, 3)}, TestPalette(), 5, AviEncoding::Rgb8);
    // Flip the stored height to -2 and the rows with it.
    const uint8_t two[4] = {2, 0, 0, 0};
    const auto at =
        std::search(bytes.begin(), bytes.end(), std::begin("strf"), std::begin("strf") + 4);
    ASSERT_NE(at, bytes.end());
    uint8_t* height = &*at + 8 + 8;
    ASSERT_EQ(std::memcmp(height, two, 4), 0);
    const int32_t minus_two = -2;
    std::memcpy(height, &minus_two, 4);
    const auto movi =
        std::search(bytes.begin(), bytes.end(), std::begin("00db"), std::begin("00db") + 4);
    std::swap_ranges(movi + 8, movi + 12, movi + 12);
    const auto clip = Parse(bytes);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->frames[0][0], Argb(Pattern(4, 2, 3).pixels[0]));
    EXPECT_EQ(clip->frames[0][4], Argb(Pattern(4, 2, 3).pixels[4]));
}

TEST(AviClip, EveryTruncationIsRefusedOrReadSafely) {
    const std::vector<uint8_t> whole =
        WriteAvi({Pattern(9, 4, 1), Pattern(9, 4, 2)}, TestPalette(), 8, AviEncoding::Rle8);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
        EXPECT_FALSE(Parse(part)) << "cut at " << cut;
        // The same cut with a RIFF size that agrees with it reaches the inner chunks: it may
        // keep the frames that are whole, but must never read past what is there.
        if (cut >= 12) {
            const uint32_t riff = static_cast<uint32_t>(cut - 8);
            std::memcpy(part.data() + 4, &riff, 4);
            const auto clip = Parse(part);
            if (clip) {
                EXPECT_LE(clip->frames.size(), 2u);
            }
        }
    }
}

TEST(AviClip, DamagedHeadersAreRefused) {
    const std::vector<uint8_t> good =
        WriteAvi({Pattern(6, 6, 1)}, TestPalette(), 8, AviEncoding::Rgb8);
    auto patched = [&](const char* chunk, size_t offset, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        const auto at = std::search(bytes.begin(), bytes.end(), chunk, chunk + 4);
        EXPECT_NE(at, bytes.end());
        std::memcpy(&*at + offset, &value, 4);
        return bytes;
    };
    EXPECT_FALSE(Parse(patched("strf", 4, 0xFFFFFF00u)));  // chunk size past the end
    EXPECT_FALSE(Parse(patched("strf", 12, 100000)));      // absurd width
    EXPECT_FALSE(Parse(patched("strf", 16, 0)));           // zero height
    EXPECT_FALSE(Parse(patched("strf", 12 + 12, 5)));      // unknown compression
    EXPECT_FALSE(Parse(patched("00db", 4, 3)));            // frame shorter than its picture
    EXPECT_FALSE(Parse(patched("RIFF", 4, 0x7FFFFFFF)));   // RIFF longer than the file
    EXPECT_FALSE(Parse(patched("strh", 8, 0x73647561)));   // an audio stream only ("auds")
    // A frame count in the main header is only a claim: the frames present are what count.
    const auto counted = Parse(patched("avih", 8 + 16, 0xFFFFFFFFu));
    ASSERT_TRUE(counted);
    EXPECT_EQ(counted->frames.size(), 1u);
}

TEST(AviClip, HugeFramesCannotExhaustMemory) {
    // 4096 x 4096 pixels pass the side limit but not the overall pixel budget.
    IndexedPicture big;
    big.width = 4096;
    big.height = 1;
    big.pixels.assign(4096, 1);
    std::vector<std::vector<uint8_t>> chunks(5000, EncodeRle8(big));
    const auto bytes = WriteAviChunks(4096, 4096, chunks, TestPalette(), 8, AviEncoding::Rle8);
    EXPECT_FALSE(Parse(bytes));
}

TEST(AviClip, MissingFileAndNonAviFileAreRefused) {
    std::string why;
    EXPECT_FALSE(LoadAvi("/nonexistent/filedisk.avi", &why));
    EXPECT_FALSE(why.empty());
    const std::string path = testing::TempDir() + "/not_a_clip.avi";
    std::ofstream(path) << "RIFF....WAVEfmt ";
    EXPECT_FALSE(LoadAvi(path));
}

TEST(AviClip, TheProgramsOwnClipLoads) {
    const auto clip = LoadAvi(CLIP_PATH);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->width, 265);
    EXPECT_EQ(clip->height, 49);
    EXPECT_GT(clip->frames.size(), 10u);
}

}  // namespace
}  // namespace tessarel
