#include "clip/avi_clip.h"

#include "platform/file.h"
#include "platform/runtime_error.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tessarel {
namespace {

constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionRle8 = 1;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
bool IsFourcc(const uint8_t* p, const char* code) {
    return std::memcmp(p, code, 4) == 0;
}

struct Failure {
    std::string why;
};

// One chunk of a RIFF tree: its code and the bytes of its body.
struct Chunk {
    const uint8_t* id;
    const uint8_t* body;
    size_t size;
};

// Walks the chunks laid end to end in [begin, end). A chunk that claims more bytes than
// remain is a damaged file, not something to read past.
class ChunkWalker {
  public:
    ChunkWalker(const uint8_t* begin, const uint8_t* end) : pos_(begin), end_(end) {}
    bool Next(Chunk& chunk) {
        if (end_ - pos_ < 8) {
            if (pos_ != end_ && end_ - pos_ > 1) {
                throw Failure{"chunk header cut short"};
            }
            return false;
        }
        const size_t size = Le32(pos_ + 4);
        const size_t room = static_cast<size_t>(end_ - pos_) - 8;
        if (size > room) {
            throw Failure{"chunk size runs past the end of the file"};
        }
        chunk = {pos_, pos_ + 8, size};
        const size_t padded = size + (size & 1);
        pos_ += 8 + std::min(padded, room);
        return true;
    }

  private:
    const uint8_t* pos_;
    const uint8_t* end_;
};

struct StreamFormat {
    bool found = false;
    int index = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    int width = 0;
    int height = 0;  // as stored: positive means bottom-up rows
    int bit_count = 0;
    uint32_t compression = 0;
    std::array<uint32_t, 256> palette{};
};

struct Header {
    uint32_t micro_sec_per_frame = 0;
    StreamFormat video;
};

void ReadStreamList(const Chunk& list, int stream_index, Header& header) {
    ChunkWalker walker(list.body + 4, list.body + list.size);
    Chunk c;
    bool is_video = false;
    uint32_t scale = 0;
    uint32_t rate = 0;
    while (walker.Next(c)) {
        if (IsFourcc(c.id, "strh")) {
            if (c.size < 36) {
                throw Failure{"stream header too short"};
            }
            is_video = IsFourcc(c.body, "vids");
            scale = Le32(c.body + 20);
            rate = Le32(c.body + 24);
        } else if (IsFourcc(c.id, "strf") && is_video && !header.video.found) {
            if (c.size < 40) {
                throw Failure{"bitmap header too short"};
            }
            StreamFormat& f = header.video;
            const uint32_t header_size = Le32(c.body);
            if (header_size < 40 || header_size > c.size) {
                throw Failure{"bitmap header size is wrong"};
            }
            f.found = true;
            f.index = stream_index;
            f.scale = scale;
            f.rate = rate;
            f.width = static_cast<int32_t>(Le32(c.body + 4));
            f.height = static_cast<int32_t>(Le32(c.body + 8));
            f.bit_count = Le16(c.body + 14);
            f.compression = Le32(c.body + 16);
            uint32_t colours = Le32(c.body + 32);
            if (f.bit_count == 8) {
                if (colours == 0 || colours > 256) {
                    colours = 256;
                }
                const size_t room = (c.size - header_size) / 4;
                colours = static_cast<uint32_t>(std::min<size_t>(colours, room));
                for (uint32_t i = 0; i < colours; ++i) {
                    const uint8_t* q = c.body + header_size + 4 * i;  // blue, green, red, unused
                    f.palette[i] = 0xFF000000u | uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
                }
                for (uint32_t i = colours; i < 256; ++i) {
                    f.palette[i] = 0xFF000000u;
                }
            }
        }
    }
}

void ReadHeaderList(const Chunk& list, Header& header) {
    ChunkWalker walker(list.body + 4, list.body + list.size);
    Chunk c;
    int stream_index = 0;
    while (walker.Next(c)) {
        if (IsFourcc(c.id, "avih")) {
            if (c.size < 40) {
                throw Failure{"main header too short"};
            }
            header.micro_sec_per_frame = Le32(c.body);
        } else if (IsFourcc(c.id, "LIST") && c.size >= 4 && IsFourcc(c.body, "strl")) {
            ReadStreamList(c, stream_index++, header);
        }
    }
}

class FrameDecoder {
  public:
    FrameDecoder(const StreamFormat& f, AviClip& clip) : f_(f), clip_(clip) {
        width_ = clip.width;
        height_ = clip.height;
        bottom_up_ = f.height > 0;
    }

    void Decode(const Chunk& c) {
        if (clip_.frames.size() >= kAviMaxPixelsTotal / (size_t(width_) * height_)) {
            throw Failure{"too many frames"};
        }
        std::vector<uint32_t> frame =
            clip_.frames.empty() ? std::vector<uint32_t>(size_t(width_) * height_, 0xFF000000u)
                                 : clip_.frames.back();
        if (c.size == 0) {
            // An empty frame chunk repeats the previous picture.
        } else if (f_.compression == kCompressionRle8) {
            DecodeRle8(c.body, c.size, frame);
        } else {
            DecodeRgb(c.body, c.size, frame);
        }
        clip_.frames.push_back(std::move(frame));
    }

  private:
    uint32_t* Row(std::vector<uint32_t>& frame, int stored_row) {
        const int top_row = bottom_up_ ? height_ - 1 - stored_row : stored_row;
        return frame.data() + size_t(top_row) * width_;
    }

    void DecodeRgb(const uint8_t* data, size_t size, std::vector<uint32_t>& frame) {
        const size_t bytes_per_pixel = f_.bit_count / 8;
        const size_t stride = (size_t(width_) * bytes_per_pixel + 3) & ~size_t(3);
        // The last row need not carry its padding.
        const size_t needed = stride * (height_ - 1) + size_t(width_) * bytes_per_pixel;
        if (size < needed) {
            throw Failure{"frame holds fewer bytes than its picture needs"};
        }
        for (int y = 0; y < height_; ++y) {
            const uint8_t* src = data + stride * y;
            uint32_t* dst = Row(frame, y);
            for (int x = 0; x < width_; ++x) {
                if (bytes_per_pixel == 1) {
                    dst[x] = f_.palette[src[x]];
                } else {
                    const uint8_t* p = src + 3 * x;
                    dst[x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                }
            }
        }
    }

    // RLE-8 as bitmaps store it: runs, literal runs, end of line, end of picture, and jumps
    // that leave pixels of the previous frame in place. Pixels that land outside the picture
    // are dropped; every step consumes input, so a hostile stream cannot loop.
    void DecodeRle8(const uint8_t* data, size_t size, std::vector<uint32_t>& frame) {
        size_t i = 0;
        long x = 0;
        long y = 0;
        auto put = [&](uint8_t index) {
            if (x < width_ && y < height_) {
                Row(frame, static_cast<int>(y))[x] = f_.palette[index];
            }
            ++x;
        };
        while (i + 1 < size && y < height_) {
            const uint8_t count = data[i];
            const uint8_t value = data[i + 1];
            i += 2;
            if (count > 0) {
                for (int n = 0; n < count; ++n) {
                    put(value);
                }
            } else if (value == 0) {
                x = 0;
                ++y;
            } else if (value == 1) {
                return;
            } else if (value == 2) {
                if (i + 1 >= size) {
                    throw Failure{"jump cut short"};
                }
                x += data[i];
                y += data[i + 1];
                i += 2;
            } else {
                if (size - i < value) {
                    throw Failure{"literal run cut short"};
                }
                for (int n = 0; n < value; ++n) {
                    put(data[i + n]);
                }
                i += value + (value & 1);
            }
        }
    }

    const StreamFormat& f_;
    AviClip& clip_;
    int width_ = 0;
    int height_ = 0;
    bool bottom_up_ = true;
};

void ReadMovieList(const Chunk& list, FrameDecoder& decoder, const std::string& frame_prefix) {
    ChunkWalker walker(list.body + 4, list.body + list.size);
    Chunk c;
    while (walker.Next(c)) {
        if (IsFourcc(c.id, "LIST") && c.size >= 4 && IsFourcc(c.body, "rec ")) {
            ReadMovieList(c, decoder, frame_prefix);
        } else if (std::memcmp(c.id, frame_prefix.data(), 2) == 0 &&
                   (c.id[2] == 'd' && (c.id[3] == 'b' || c.id[3] == 'c'))) {
            decoder.Decode(c);
        }
    }
}

AviClip Parse(const uint8_t* data, size_t size) {
    if (size < 12 || !IsFourcc(data, "RIFF") || !IsFourcc(data + 8, "AVI ")) {
        throw Failure{"not a RIFF AVI file"};
    }
    // A RIFF size that overstates the file is the mark of a truncated clip.
    const size_t riff_size = Le32(data + 4);
    if (riff_size < 4 || riff_size > size - 8) {
        throw Failure{"file is shorter than its RIFF header says"};
    }
    const uint8_t* end = data + 8 + riff_size;
    Header header;
    std::optional<Chunk> movie;
    ChunkWalker walker(data + 12, end);
    Chunk c;
    while (walker.Next(c)) {
        if (IsFourcc(c.id, "LIST") && c.size >= 4) {
            if (IsFourcc(c.body, "hdrl")) {
                ReadHeaderList(c, header);
            } else if (IsFourcc(c.body, "movi") && !movie) {
                movie = c;
            }
        }
    }
    const StreamFormat& f = header.video;
    if (!f.found) {
        throw Failure{"no video stream"};
    }
    const bool rgb8 = f.compression == kCompressionRgb && f.bit_count == 8;
    const bool rgb24 = f.compression == kCompressionRgb && f.bit_count == 24;
    const bool rle8 = f.compression == kCompressionRle8 && f.bit_count == 8;
    if (!rgb8 && !rgb24 && !rle8) {
        throw Failure{"unsupported frame encoding"};
    }
    // Bitmaps store a negative height for top-down rows; RLE pictures are always bottom-up.
    const int64_t height = f.height < 0 ? -int64_t(f.height) : f.height;
    if (f.width <= 0 || f.width > kAviMaxSide || height == 0 || height > kAviMaxSide ||
        (rle8 && f.height < 0)) {
        throw Failure{"picture size out of range"};
    }
    if (!movie) {
        throw Failure{"no frames"};
    }
    AviClip clip;
    clip.width = f.width;
    clip.height = static_cast<int>(height);
    double interval = 0;
    if (f.scale > 0 && f.rate > 0) {
        interval = 1e6 * f.scale / f.rate;
    } else {
        interval = header.micro_sec_per_frame;
    }
    if (interval <= 0) {
        interval = 100000;
    }
    clip.frame_interval_us = static_cast<int>(std::clamp(interval, 10000.0, 2000000.0));

    // Frame chunks of stream n are named "nndb" or "nndc".
    const int n = f.index % 100;
    const std::string prefix = {char('0' + n / 10), char('0' + n % 10)};
    FrameDecoder decoder(f, clip);
    ReadMovieList(*movie, decoder, prefix);
    if (clip.frames.empty()) {
        throw Failure{"no frames"};
    }
    return clip;
}

}  // namespace

std::optional<AviClip> ParseAvi(const uint8_t* data, size_t size, std::string* why) {
    try {
        return Parse(data, size);
    } catch (const Failure& failure) {
        if (why) {
            *why = failure.why;
        }
        return std::nullopt;
    }
}

std::optional<AviClip> LoadAvi(const std::string& path, std::string* why) {
    std::vector<uint8_t> bytes;
    try {
        File in = File::OpenForReading(path);
        const int64_t length = FileLength(path);
        if (length > static_cast<int64_t>(kAviMaxFileBytes)) {
            if (why) {
                *why = "clip file too large";
            }
            return std::nullopt;
        }
        bytes.resize(static_cast<size_t>(length));
        in.Read(bytes.data(), static_cast<int32_t>(length));
    } catch (const RuntimeError& error) {
        if (why) {
            *why = "cannot read " + path + ": " + error.description();
        }
        return std::nullopt;
    }
    return ParseAvi(bytes.data(), bytes.size(), why);
}

void SetClipBackground(AviClip& clip, uint32_t argb) {
    for (std::vector<uint32_t>& frame : clip.frames) {
        if (frame.empty()) {
            continue;
        }
        const uint32_t background = frame.front();
        for (uint32_t& pixel : frame) {
            if (pixel == background) {
                pixel = argb;
            }
        }
    }
}

}  // namespace tessarel
