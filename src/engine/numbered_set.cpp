#include "engine/numbered_set.h"

#include <algorithm>
#include <sstream>

#include "engine/piece_series.h"
#include "engine/series_recovery.h"
#include "platform/conversions.h"
#include "platform/extension.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

bool Letter(char c) {
    return c >= 'a' && c <= 'z';
}

// A member's number: digits as they say, letters counted from "aa" (or "aaa") as 0.
int64_t IndexOf(const std::string& suffix, bool letters) {
    int64_t index = 0;
    for (const char c : suffix) {
        index = letters ? index * 26 + (c - 'a') : index * 10 + (c - '0');
        if (index > (int64_t{1} << 40)) {
            return -1;  // far past any set
        }
    }
    return index;
}

std::string SuffixOf(int64_t index, bool letters, size_t width) {
    std::string suffix;
    if (letters) {
        for (size_t i = 0; i < width; ++i) {
            suffix.insert(suffix.begin(), static_cast<char>('a' + index % 26));
            index /= 26;
        }
        return suffix;
    }
    suffix = std::to_string(index);
    return width > suffix.size() ? std::string(width - suffix.size(), '0') + suffix : suffix;
}

int HexValue(char c) {
    return Digit(c)               ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& hex) {
    if (hex.empty() || hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return bytes;
}

// The set whose members are PREFIX followed by a number like SUFFIX, if there are two or more.
std::optional<NumberedSet> SetOf(const std::string& folder, const std::string& prefix,
                                 const std::string& suffix, bool letters) {
    // A series of our own (.m00, .r00) is no other tool's set.
    if (!letters && prefix.size() >= 2 && prefix[prefix.size() - 2] == '.' &&
        std::string("mMrR").find(prefix.back()) != std::string::npos) {
        return std::nullopt;
    }
    // Fixed width when the number is padded (.001, x00), else numbers as they come (.0, .10).
    const bool padded = letters || (suffix.size() > 1 && suffix[0] == '0');
    std::map<int64_t, std::string> found;
    for (const std::string& other : NamesIn(folder)) {
        if (other.size() <= prefix.size() || other.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string rest = other.substr(prefix.size());
        const bool fits = letters ? std::all_of(rest.begin(), rest.end(), Letter)
                                  : std::all_of(rest.begin(), rest.end(), Digit);
        if (!fits ||
            (padded ? rest.size() != suffix.size() : (rest.size() > 1 && rest[0] == '0'))) {
            continue;
        }
        const int64_t index = IndexOf(rest, letters);
        if (index >= 0) {
            found.emplace(index, JoinPath(folder, other));
        }
    }
    if (found.size() < 2) {
        return std::nullopt;
    }
    // A set starts at 0 (aa, 000, .0) or, numbered from 1, at 1; its first member may be lost.
    const int64_t first = found.begin()->first;
    const int64_t from = !letters && first >= 1 ? 1 : 0;
    const int64_t last = found.rbegin()->first;
    if (first - from > 1 || last - from + 1 > 2 * int64_t(found.size())) {
        return std::nullopt;
    }
    NumberedSet set;
    set.prefix = JoinPath(folder, prefix);
    set.output = set.prefix;
    if (!prefix.empty() && set.output.back() == '.') {
        set.output.pop_back();
    }
    for (int64_t index = from; index <= last; ++index) {
        const auto member = found.find(index);
        const std::string member_name =
            member != found.end()
                ? member->second
                : JoinPath(folder, prefix + SuffixOf(index, letters, padded ? suffix.size() : 0));
        set.members.push_back(member_name);
        if (member == found.end()) {
            set.gaps.push_back(member_name);
        }
    }
    return set;
}

}  // namespace

std::optional<NumberedSet> FindNumberedSet(const std::string& path) {
    const std::string name = NameOf(path);
    const std::string folder = FolderOf(path);
    size_t start = name.size();
    while (start > 0 && Digit(name[start - 1])) {
        --start;
    }
    if (start != name.size()) {
        if (start == 0) {
            return std::nullopt;
        }
        return SetOf(folder, name.substr(0, start), name.substr(start), false);
    }
    while (start > 0 && Letter(name[start - 1])) {
        --start;
    }
    // split's letters are two or three; a name of letters only (xab) has them at its end.
    std::vector<size_t> widths;
    if (start > 0) {
        widths.push_back(name.size() - start);
    } else {
        widths = {3, 2};  // x, as split names them by default, before xa
    }
    for (const size_t width : widths) {
        if (width < 2 || width > 3 || width >= name.size()) {
            continue;
        }
        const size_t at = name.size() - width;
        if (auto set = SetOf(folder, name.substr(0, at), name.substr(at), true)) {
            return set;
        }
    }
    return std::nullopt;
}

std::string FirstDiffering(const NumberedSet& set, const SetList& list) {
    std::vector<uint8_t> buffer(size_t{1} << 20);
    ListHash whole(list.kind);
    for (size_t i = 0; i < set.members.size(); ++i) {
        ListHash hash(list.kind);
        File file = File::OpenForReading(set.members[i]);
        for (int64_t left = FileLength(set.members[i]); left > 0;) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(left, int64_t(buffer.size())));
            file.Read(buffer.data(), n);
            hash.Update(buffer.data(), size_t(n));
            whole.Update(buffer.data(), size_t(n));
            left -= n;
        }
        if (!list.members.empty() && hash.Finish() != list.members[i]) {
            return NameOf(set.members[i]);
        }
    }
    if (list.members.empty() && list.whole && whole.Finish() != *list.whole) {
        return NameOf(set.output);
    }
    return "";
}

std::optional<SetList> FindSetList(const NumberedSet& set) {
    const std::string folder = FolderOf(set.output);
    const std::string output = NameOf(set.output);
    const std::vector<std::pair<std::string, ListHash::Kind>> candidates = {
        {output + ".sha256", ListHash::Kind::kSha256},
        {output + ".sha512", ListHash::Kind::kSha512},
        {output + ".md5", ListHash::Kind::kMd5},
        {"SHA256SUMS", ListHash::Kind::kSha256},
        {"SHA512SUMS", ListHash::Kind::kSha512},
        {"MD5SUMS", ListHash::Kind::kMd5},
    };
    const std::vector<std::string> names = NamesIn(folder);
    for (const auto& candidate : candidates) {
        const std::string& wanted = candidate.first;
        const ListHash::Kind kind = candidate.second;
        const auto there = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return SameIgnoringCase(name, wanted);
        });
        if (there == names.end()) {
            continue;
        }
        SetList list;
        list.path = JoinPath(folder, *there);
        list.kind = kind;
        std::string text;
        try {
            const PathInfo info = InfoOf(list.path);
            if (!info.regular() || info.size > (4 << 20)) {
                list.problem = "it is not a list of checksums";
                return list;
            }
            File file = File::OpenForReading(list.path);
            text.resize(static_cast<size_t>(info.size));
            file.Read(reinterpret_cast<uint8_t*>(text.data()), static_cast<int32_t>(info.size));
        } catch (const RuntimeError& error) {
            list.problem = error.description();
            return list;
        }
        std::map<std::string, std::vector<uint8_t>> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty()) {
                continue;
            }
            std::string hex;
            std::string file;
            const size_t open = line.find(" (");
            const size_t close = line.rfind(") = ");
            if (open != std::string::npos && close != std::string::npos && close > open) {
                file = line.substr(open + 2, close - open - 2);  // --tag: "SHA256 (NAME) = HEX"
                hex = line.substr(close + 4);
            } else {
                const size_t blank = line.find(' ');
                if (blank == std::string::npos || blank + 2 > line.size()) {
                    list.problem = "a line is not a checksum line";
                    return list;
                }
                hex = line.substr(0, blank);
                file = line.substr(blank + 2);  // "HEX  NAME" or "HEX *NAME"
            }
            while (file.rfind("./", 0) == 0) {
                file.erase(0, 2);
            }
            const auto digest = FromHex(hex);
            if (!digest || digest->size() != ListHash::LengthOf(kind)) {
                list.problem = "a line holds no " + std::to_string(ListHash::LengthOf(kind) * 8) +
                               "-bit checksum";
                return list;
            }
            lines[file] = *digest;
        }
        const auto line_for = [&](const std::string& name) -> const std::vector<uint8_t>* {
            for (const auto& [file, digest] : lines) {
                if (SameIgnoringCase(file, name)) {
                    return &digest;
                }
            }
            return nullptr;
        };
        bool every = true;
        for (const std::string& member : set.members) {
            const auto* digest = line_for(NameOf(member));
            every = every && digest;
            if (digest) {
                list.members.push_back(*digest);
            }
        }
        if (!every) {
            list.members.clear();
        }
        if (const auto* digest = line_for(output)) {
            list.whole = *digest;
        }
        if (!list.members.empty() || list.whole) {
            return list;
        }
        // A list of other files: not this set's.
    }
    return std::nullopt;
}

std::string NumberedSeriesOf(const std::string& path) {
    std::string base = RecoveryBaseOf(path);
    if (base.empty()) {
        const std::string extension = ExtensionOf(path);
        if (extension.size() != 3 || !std::all_of(extension.begin(), extension.end(), Digit)) {
            return "";
        }
        base = StripExtension(path);
    }
    const SeriesNames names = NumberedNames(base);
    for (const FoundRecoveryPiece& piece : FindRecoveryPieces(names)) {
        if (piece.header && piece.header->headerless) {
            return names.first_piece;
        }
    }
    return "";
}

}  // namespace tessarel
