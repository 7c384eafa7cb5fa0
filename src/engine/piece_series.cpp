#include "engine/piece_series.h"

#include <cstdio>

#include "platform/conversions.h"
#include "platform/extension.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

int32_t HeaderLengthFor(int64_t source_length) {
    return source_length <= kMaxSourceLength ? kHeaderLength : kWideHeaderLength;
}

std::string HeaderText(int64_t source_length) {
    if (source_length < 0 || source_length > kMaxWideSourceLength) {
        throw RuntimeError(kErrOverflow);
    }
    char digits[32];
    const bool wide = HeaderLengthFor(source_length) == kWideHeaderLength;
    std::snprintf(digits, sizeof digits, wide ? "%020lld" : "%010lld",
                  static_cast<long long>(source_length));
    return std::string(wide ? kWideSignature : kSignature) + digits;
}

int32_t HeaderLengthOf(const std::string& first_bytes) {
    if (first_bytes.size() < static_cast<size_t>(kSignatureLength)) {
        return 0;
    }
    if (first_bytes.compare(0, kSignatureLength, kSignature) == 0) {
        return kHeaderLength;
    }
    return first_bytes.compare(0, kSignatureLength, kWideSignature) == 0 ? kWideHeaderLength : 0;
}

bool HasSignature(const std::string& first_bytes) {
    return HeaderLengthOf(first_bytes) != 0;
}

std::string PieceName(const std::string& base, int64_t piece, char letter) {
    char number[24];
    std::snprintf(number, sizeof number, "%02lld", static_cast<long long>(piece - 1));
    return base + "." + letter + number;
}

char SeriesLetter(const std::string& first_piece) {
    const std::string extension = ExtensionOf(first_piece);
    return !extension.empty() && extension[0] == 'M' ? 'M' : 'm';
}

SeriesNames NumberedNames(const std::string& base) {
    SeriesNames names;
    names.base = base;
    names.numbered = true;
    names.first_piece = names[1];
    return names;
}

std::string SeriesNames::operator[](int64_t piece) const {
    if (!members.empty()) {
        return members[static_cast<size_t>(piece - 1)];
    }
    if (numbered) {
        char number[24];
        std::snprintf(number, sizeof number, "%03lld", static_cast<long long>(piece));
        return base + "." + number;
    }
    return piece == 1 ? first_piece : PieceName(base, piece, letter);
}

SeriesNames::SeriesNames(const std::string& first)
    : first_piece(first), base(StripExtension(first)), letter(SeriesLetter(first)) {
    // Plain numbered pieces go on as they start: base.001, base.002, ...
    numbered = ExtensionOf(first) == "001";
}

int64_t PieceCount(int64_t stream_length, int64_t piece_size) {
    return stream_length / piece_size + (stream_length % piece_size != 0 ? 1 : 0);
}

int64_t PieceLength(int64_t stream_length, int64_t piece_size, int64_t piece) {
    const int64_t count = PieceCount(stream_length, piece_size);
    if (piece < 1 || piece > count) {
        return 0;
    }
    if (piece < count) {
        return piece_size;
    }
    const int64_t last = stream_length % piece_size;
    return last == 0 ? piece_size : last;
}

namespace {

// The name without its extension when the extension is the letter (either case) and two or
// more digits, else "".
std::string BaseBefore(const std::string& path, char letter) {
    const std::string name = NameOf(path);
    const size_t name_dot = name.find_last_of('.');
    if (name_dot == std::string::npos) {
        return "";
    }
    const size_t dot = path.size() - name.size() + name_dot;
    const char upper = static_cast<char>(letter - 'a' + 'A');
    if (path.size() - dot < 4 || (path[dot + 1] != letter && path[dot + 1] != upper)) {
        return "";
    }
    return AllDigits(path.substr(dot + 2)) ? path.substr(0, dot) : "";
}

}  // namespace

std::string SeriesBaseOf(const std::string& path) {
    return BaseBefore(path, 'm');
}

std::string RecoveryBaseOf(const std::string& path) {
    return BaseBefore(path, 'r');
}

}  // namespace tessarel
