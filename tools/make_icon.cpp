// Writes the program's Windows icon (.ico) from its PNG pictures, one image per size, each kept
// as the PNG it is (Windows reads PNG images inside an icon).
//   make_icon OUT.ico IN.png...
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
uint32_t Big32(const std::vector<uint8_t>& in, size_t at) {
    return uint32_t(in[at]) << 24 | uint32_t(in[at + 1]) << 16 | uint32_t(in[at + 2]) << 8 |
           in[at + 3];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: make_icon OUT.ico IN.png...\n";
        return 2;
    }
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), {});
        static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (png.size() < 33 || !std::equal(kSignature, kSignature + 8, png.begin())) {
            std::cerr << "make_icon: " << argv[i] << " is not a PNG picture\n";
            return 1;
        }
        pictures.push_back(std::move(png));
    }
    std::vector<uint8_t> icon;
    Put16(icon, 0);
    Put16(icon, 1);  // an icon, not a cursor
    Put16(icon, uint32_t(pictures.size()));
    uint32_t offset = 6 + 16 * uint32_t(pictures.size());
    for (const auto& png : pictures) {
        const uint32_t w = Big32(png, 16);  // from the IHDR chunk
        const uint32_t h = Big32(png, 20);
        icon.push_back(uint8_t(w >= 256 ? 0 : w));  // 0 stands for 256
        icon.push_back(uint8_t(h >= 256 ? 0 : h));
        icon.push_back(0);  // no palette
        icon.push_back(0);
        Put16(icon, 1);   // planes
        Put16(icon, 32);  // bits per pixel
        Put32(icon, uint32_t(png.size()));
        Put32(icon, offset);
        offset += uint32_t(png.size());
    }
    for (const auto& png : pictures) {
        icon.insert(icon.end(), png.begin(), png.end());
    }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(icon.data()), std::streamsize(icon.size()));
    return out.good() ? 0 : 1;
}
