#include "engine/checksums.h"

#include <algorithm>

#include "platform/conversions.h"
#include "platform/extension.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// The line for name: written as it is, or in another letter case (a list copied to media that
// show names in capitals, or made there).
ChecksumList::const_iterator LineFor(const ChecksumList& list, const std::string& name) {
    const auto exact = list.find(name);
    if (exact != list.end()) {
        return exact;
    }
    return std::find_if(list.begin(), list.end(),
                        [&](const auto& line) { return SameIgnoringCase(line.first, name); });
}

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

// The file at path, or one of its folder whose name differs from path's only in letter case.
std::string NamedInAnyCase(const std::string& path) {
    if (InfoOf(path, false).exists()) {
        return path;
    }
    const std::string folder = FolderOf(path);
    for (const std::string& name : NamesIn(folder)) {
        if (SameIgnoringCase(name, NameOf(path))) {
            return JoinPath(folder, name);
        }
    }
    return path;
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
        // As sha256sum -c reads a list: a last line may go without its line end, and a line
        // may end in CR LF as a Windows editor writes it.
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
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
        auto name = Unescaped(line.substr(66), escaped);
        // "./NAME" names the file in the list's own folder, as NAME does.
        while (name && name->rfind("./", 0) == 0) {
            name->erase(0, 2);
        }
        if (!name || name->empty()) {
            return where + " names no file";
        }
        const auto [known, added] = list.emplace(*name, digest);
        if (!added && known->second != digest) {
            return "two lines for " + *name + " disagree";
        }
    }
    return list;
}

std::variant<SeriesDigests, std::string> DigestsForSeries(const ChecksumList& list,
                                                          const SeriesNames& names, int64_t count) {
    SeriesDigests digests;
    const auto whole = LineFor(list, SeriesFileName(names));
    if (whole != list.end()) {
        digests.whole = whole->second;
    }
    // A list made for the whole file alone (sha256sum FILE > FILE.sha256) checks the join.
    const bool whole_only =
        digests.whole && std::none_of(list.begin(), list.end(), [&](auto& line) {
            for (int64_t n = 1; n <= count; ++n) {
                if (SameIgnoringCase(line.first, NameOf(names[n]))) {
                    return true;
                }
            }
            return false;
        });
    if (whole_only) {
        return digests;
    }
    for (int64_t n = 1; n <= count; ++n) {
        const std::string name = NameOf(names[n]);
        const auto line = LineFor(list, name);
        if (line == list.end()) {
            return "it has no line for " + name;
        }
        digests.pieces.push_back(line->second);
    }
    for (int64_t j = 0;; ++j) {
        const auto line = LineFor(list, NameOf(PieceName(names.base, j + 1, 'r')));
        if (line == list.end()) {
            break;
        }
        digests.recovery.push_back(line->second);
    }
    return digests;
}

ListReading ReadChecksumListFor(const std::string& first_piece, int64_t count) {
    ListReading reading;
    const SeriesNames names(first_piece);
    reading.path = ChecksumListName(first_piece);
    std::string text;
    try {
        reading.path = NamedInAnyCase(reading.path);
        const PathInfo info = InfoOf(reading.path);
        if (!info.exists()) {
            return reading;
        }
        if (!info.regular() || info.size > kMaxChecksumListBytes) {
            reading.problem = !info.regular() ? "it is not an ordinary file"
                                              : "it is too large to be a list of ours";
            return reading;
        }
        File file = File::OpenForReading(reading.path);
        text.resize(static_cast<size_t>(info.size));
        file.Read(reinterpret_cast<uint8_t*>(text.data()), static_cast<int32_t>(info.size));
    } catch (const RuntimeError& error) {
        // A name too long to exist is a list that is not there.
        if (error.number() != kErrBadFileName) {
            reading.problem = error.description();
        }
        return reading;
    }
    const auto parsed = ParseChecksumList(text);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        reading.problem = *problem;
        return reading;
    }
    const auto digests = DigestsForSeries(std::get<ChecksumList>(parsed), names, count);
    if (const auto* problem = std::get_if<std::string>(&digests)) {
        reading.problem = *problem;
    } else {
        reading.digests = std::get<SeriesDigests>(digests);
    }
    return reading;
}

std::string ChecksumListText(const SeriesDigests& digests, const SeriesNames& names) {
    std::string text;
    for (size_t n = 0; n < digests.pieces.size(); ++n) {
        text += ChecksumLine(digests.pieces[n], NameOf(names[static_cast<int64_t>(n) + 1]));
    }
    for (size_t j = 0; j < digests.recovery.size(); ++j) {
        text += ChecksumLine(digests.recovery[j],
                             NameOf(PieceName(names.base, static_cast<int64_t>(j) + 1, 'r')));
    }
    if (digests.whole) {
        text += ChecksumLine(*digests.whole, SeriesFileName(names));
    }
    return text;
}

}  // namespace tessarel
