#include "avi_writer.h"

#include <string>

namespace tessarel {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutFourcc(std::vector<uint8_t>& out, const char* code) {
    out.insert(out.end(), code, code + 4);
}

// Appends a chunk and pads it to an even length.
void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
    PutFourcc(out, id);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) {
        out.push_back(0);
    }
}
void PutList(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> list;
    PutFourcc(list, type);
    list.insert(list.end(), body.begin(), body.end());
    PutChunk(out, "LIST", list);
}

std::vector<uint8_t> EncodeRgb(const IndexedPicture& p, const std::array<uint32_t, 256>& palette,
                               bool true_colour) {
    const size_t bpp = true_colour ? 3 : 1;
    const size_t stride = (p.width * bpp + 3) & ~size_t(3);
    std::vector<uint8_t> out(stride * p.height, 0);
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = out.data() + stride * (p.height - 1 - y);  // bottom-up
        for (int x = 0; x < p.width; ++x) {
            const uint8_t index = p.pixels[size_t(y) * p.width + x];
            if (true_colour) {
                const uint32_t c = palette[index];
                row[3 * x] = static_cast<uint8_t>(c);
                row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
            } else {
                row[x] = index;
            }
        }
    }
    return out;
}

}  // namespace

std::vector<uint8_t> EncodeRle8(const IndexedPicture& p) {
    std::vector<uint8_t> out;
    for (int y = p.height - 1; y >= 0; --y) {
        const uint8_t* row = p.pixels.data() + size_t(y) * p.width;
        int x = 0;
        while (x < p.width) {
            int run = 1;
            while (x + run < p.width && run < 255 && row[x + run] == row[x]) {
                ++run;
            }
            if (run >= 3 || p.width - x < 3) {
                out.push_back(static_cast<uint8_t>(run));
                out.push_back(row[x]);
                x += run;
                continue;
            }
            // A literal stretch, up to where a run of three begins.
            int lit = 0;
            while (x + lit < p.width && lit < 255) {
                if (x + lit + 2 < p.width && row[x + lit] == row[x + lit + 1] &&
                    row[x + lit] == row[x + lit + 2]) {
                    break;
                }
                ++lit;
            }
            if (lit < 3) {
                for (int n = 0; n < lit; ++n) {
                    out.push_back(1);
                    out.push_back(row[x + n]);
                }
            } else {
                out.push_back(0);
                out.push_back(static_cast<uint8_t>(lit));
                out.insert(out.end(), row + x, row + x + lit);
                if (lit & 1) {
                    out.push_back(0);
                }
            }
            x += lit;
        }
        out.push_back(0);
        out.push_back(0);  // end of line
    }
    out.push_back(0);
    out.push_back(1);  // end of picture
    return out;
}

std::vector<uint8_t> WriteAvi(const std::vector<IndexedPicture>& frames,
                              const std::array<uint32_t, 256>& palette, int frames_per_second,
                              AviEncoding encoding) {
    std::vector<std::vector<uint8_t>> chunks;
    for (const IndexedPicture& frame : frames) {
        chunks.push_back(encoding == AviEncoding::Rle8
                             ? EncodeRle8(frame)
                             : EncodeRgb(frame, palette, encoding == AviEncoding::Rgb24));
    }
    const int width = frames.empty() ? 0 : frames.front().width;
    const int height = frames.empty() ? 0 : frames.front().height;
    return WriteAviChunks(width, height, chunks, palette, frames_per_second, encoding);
}

std::vector<uint8_t> WriteAviChunks(int width, int height,
                                    const std::vector<std::vector<uint8_t>>& frames,
                                    const std::array<uint32_t, 256>& palette, int frames_per_second,
                                    AviEncoding encoding) {
    const bool rle = encoding == AviEncoding::Rle8;
    const bool true_colour = encoding == AviEncoding::Rgb24;

    std::vector<uint8_t> avih;
    Put32(avih, static_cast<uint32_t>(1000000 / frames_per_second));
    for (uint32_t v :
         {0u, 0u, 0x10u, static_cast<uint32_t>(frames.size()), 0u, 1u, 0u,
          static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0u, 0u, 0u, 0u}) {
        Put32(avih, v);
    }

    std::vector<uint8_t> strh;
    PutFourcc(strh, "vids");
    PutFourcc(strh, rle ? "RLE " : "DIB ");
    for (uint32_t v : {0u, 0u, 0u, 1u, static_cast<uint32_t>(frames_per_second), 0u,
                       static_cast<uint32_t>(frames.size()), 0u, 0xFFFFFFFFu, 0u}) {
        Put32(strh, v);
    }
    Put16(strh, 0);
    Put16(strh, 0);
    Put16(strh, static_cast<uint16_t>(width));
    Put16(strh, static_cast<uint16_t>(height));

    std::vector<uint8_t> strf;
    Put32(strf, 40);
    Put32(strf, static_cast<uint32_t>(width));
    Put32(strf, static_cast<uint32_t>(height));
    Put16(strf, 1);
    Put16(strf, true_colour ? 24 : 8);
    Put32(strf, rle ? 1 : 0);
    for (uint32_t v : {0u, 0u, 0u, true_colour ? 0u : 256u, 0u}) {
        Put32(strf, v);
    }
    if (!true_colour) {
        for (uint32_t c : palette) {
            Put32(strf, c & 0xFFFFFFu);  // blue, green, red, unused in file order
        }
    }

    std::vector<uint8_t> strl;
    PutChunk(strl, "strh", strh);
    PutChunk(strl, "strf", strf);
    std::vector<uint8_t> hdrl;
    PutChunk(hdrl, "avih", avih);
    PutList(hdrl, "strl", strl);

    std::vector<uint8_t> movi;
    for (const std::vector<uint8_t>& frame : frames) {
        PutChunk(movi, rle ? "00dc" : "00db", frame);
    }

    std::vector<uint8_t> body;
    PutFourcc(body, "AVI ");
    PutList(body, "hdrl", hdrl);
    PutList(body, "movi", movi);
    std::vector<uint8_t> file;
    PutFourcc(file, "RIFF");
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

}  // namespace tessarel
