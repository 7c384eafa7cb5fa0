#include "engine/checksums.h"

#include "fileutil/my_library.h"
#include "platform/path.h"

namespace tessarel {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The name part of a line, its escapes undone when escaped; nothing when an escape is not one
// sha256sum writes.
std::optional<std::string> Unescaped(const std::string& name, bool escaped) {
    if (!escaped) {
        return name;
    }
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out += name[i];
            continue;
        }
        if (++i == name.size()) {
            return std::nullopt;
        }
        switch (name[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::string SeriesFileName(const SeriesNames& names) {
    return NameOf(names.base);
}

}  // namespace

std::string ChecksumListName(const std::string& first_piece) {
    return StripExtension(first_piece) + ".sha256";
}

std::string ChecksumLine(const Digest& digest, const std::string& name) {
    std::string escaped;
    bool any = false;
    for (const char c : name) {
        if (c == '\\' || c == '\n' || c == '\r') {
            escaped += '\\';
            escaped += c == '\\' ? '\\' : c == '\n' ? 'n' : 'r';
            any = true;
        } else {
            escaped += c;
        }
    }
    return (any ? "\\" : "") + HexOf(digest) + "  " + escaped + "\n";
}

std::variant<ChecksumList, std::string> ParseChecksumList(const std::string& text) {
    if (static_cast<int64_t>(text.size()) > kMaxChecksumListBytes) {
        return std::string("it is too large to be a list of ours");
    }
    ChecksumList list;
    size_t at = 0;
    int64_t number = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            return "line " + std::to_string(number + 1) + " does not end";
        }
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        const std::string where = "line " + std::to_string(number);
        const bool escaped = !line.empty() && line[0] == '\\';
        if (escaped) {
            line.erase(0, 1);
        }
        // 64 hexadecimal digits, a blank, a blank or "*" (sha256sum's binary mark), the name.
        if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) {
            return where + " is not a checksum line";
        }
        Digest digest{};
        for (size_t i = 0; i < digest.size(); ++i) {
            const int high = HexValue(line[2 * i]);
            const int low = HexValue(line[2 * i + 1]);
            if (high < 0 || low < 0) {
                return where + " holds a checksum that is not hexadecimal";
            }
            digest[i] = static_cast<uint8_t>(high << 4 | low);
        }
        const auto name = Unescaped(line.substr(66), escaped);
        if (!name || name->empty()) {
            return where + " names no file";
        }
        list[*name] = digest;
    }
    return list;
}

std::variant<SeriesDigests, std::string> DigestsForSeries(const ChecksumList& list,
                                                          const SeriesNames& names, int64_t count) {
    SeriesDigests digests;
    for (int64_t n = 1; n <= count; ++n) {
        const std::string name = NameOf(names[n]);
        const auto line = list.find(name);
        if (line == list.end()) {
            return "it has no line for " + name;
        }
        digests.pieces.push_back(line->second);
    }
    const auto whole = list.find(SeriesFileName(names));
    if (whole != list.end()) {
        digests.whole = whole->second;
    }
    return digests;
}

std::string ChecksumListText(const SeriesDigests& digests, const SeriesNames& names) {
    std::string text;
    for (size_t n = 0; n < digests.pieces.size(); ++n) {
        text += ChecksumLine(digests.pieces[n], NameOf(names[static_cast<int64_t>(n) + 1]));
    }
    if (digests.whole) {
        text += ChecksumLine(*digests.whole, SeriesFileName(names));
    }
    return text;
}

}  // namespace tessarel
