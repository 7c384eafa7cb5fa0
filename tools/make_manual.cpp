// Fills the manual page's and the shell completion's templates with what the program itself
// knows: its version and the media sizes --size takes.
//   make_manual TEMPLATE OUTPUT VERSION
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "control/media_sizes.h"
#include "platform/conversions.h"

namespace {

void Replace(std::string& text, const std::string& key, const std::string& value) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
        text.replace(at, key.size(), value);
        at += value.size();
    }
}

// A text as roff shows it: a minus is "\-", a backslash "\e".
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '-' ? "\\-" : c == '\\' ? "\\e" : std::string(1, c);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_manual TEMPLATE OUTPUT VERSION\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string out = text.str();
    std::string names;
    std::string entries;
    for (int i = 0; i < tessarel::kMediaSizeCount; ++i) {
        const tessarel::MediaSize& m = tessarel::kMediaSizes[i];
        names += (i ? " " : "") + std::string(m.name);
        entries += ".TP\n.B " + Roff(m.name) + "\n" + Roff(tessarel::PlainNumber(m.bytes)) +
                   " bytes: " + Roff(m.caption) + "; " + Roff(m.why) + ".\n";
    }
    Replace(out, "@VERSION@", argv[3]);
    Replace(out, "@MEDIA_NAMES@", names);
    Replace(out, "@MEDIA_SIZES@\n", entries);
    std::ofstream result(argv[2], std::ios::binary);
    result << out;
    return result.good() ? 0 : 1;
}
