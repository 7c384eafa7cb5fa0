#include "control/media_sizes.h"

#include <cctype>
#include <limits>

namespace tessarel {

// Every figure is the room on the medium for one file, checked against the source named beside
// it. Optical discs also need room for their own file system, so their presets stay a little
// under the disc's whole capacity; mail limits count the message as sent, and an attachment
// grows by a third in base64 (RFC 2045, section 6.8: 4 characters per 3 bytes, lines of at most
// 76 characters plus CR LF, so 1.37 times the file).
const MediaSize kMediaSizes[] = {
    // A 3.5" 1.44 MB diskette formatted FAT12: 2,847 clusters of 512 bytes free for files
    // (2,880 sectors less boot sector, two 9-sector FATs and a 14-sector root folder).
    {"floppy", "3.5\" diskette (1.44 MB)", 1457664,
     "2,847 free clusters of 512 bytes on a formatted 1.44 MB diskette"},
    // 80-minute CD-R: 360,000 sectors of 2,048 bytes = 737,280,000 bytes (ECMA-130, mode 1);
    // 700 MiB leaves 3.2 MB for the disc's file system.
    {"cd", "CD (700 MB)", 734003200, "700 MiB of an 80-minute CD-R's 737,280,000 bytes"},
    // DVD+R single layer: 2,295,104 sectors of 2,048 bytes = 4,700,372,992 bytes (ECMA-349;
    // DVD-R holds 2,298,496 sectors, ECMA-359); 4,480 MiB leaves 2.6 MB for the file system.
    {"dvd", "DVD (4.7 GB)", 4697620480, "4,480 MiB of a DVD+R's 4,700,372,992 bytes"},
    // DVD-R DL: 4,171,712 sectors = 8,543,666,176 bytes (DVD+R DL: 4,173,824 sectors).
    {"dvd-dl", "DVD dual layer (8.5 GB)", 8535408640,
     "8,140 MiB of a DVD-R DL's 8,543,666,176 bytes"},
    // FAT32 stores a file's length in 32 bits: the largest file is 2^32 - 1 bytes (Microsoft's
    // description of the FAT file system, "fatgen103", the DIR_FileSize field).
    {"fat32", "FAT32 stick (4 GB)", 4294967295,
     "4,294,967,295 bytes, the largest file FAT32 holds"},
    // Gmail and most providers refuse a message over 25 MB as sent; 18,000,000 bytes become
    // 24.6 MB in base64.
    {"mail25", "Mail, 25 MB limit", 18000000, "18,000,000 bytes, 24.6 MB once encoded for mail"},
    // Many company mail servers take 10 MB; 7,000,000 bytes become 9.6 MB in base64.
    {"mail10", "Mail, 10 MB limit", 7000000, "7,000,000 bytes, 9.6 MB once encoded for mail"},
    // Chat services send a file as it is. Discord takes at most 10 MB from an account without
    // Nitro (Discord Help Center, "File Attachments FAQ", since late 2024); 10,000,000 bytes fit
    // whether its MB counts 1,000,000 bytes or 1,048,576.
    {"discord", "Discord, 10 MB upload", 10000000,
     "10,000,000 bytes, within Discord's 10 MB upload limit"},
    // Telegram takes files of up to 2 GB from an account without Premium (Telegram API,
    // "Uploading and Downloading Files": at most 4,000 parts of 512 KiB, 2,097,152,000 bytes);
    // 2,000,000,000 bytes fit whichever GB is meant.
    {"telegram", "Telegram, 2 GB file", 2000000000,
     "2,000,000,000 bytes, within Telegram's 2 GB file limit"},
};
const int kMediaSizeCount = static_cast<int>(sizeof kMediaSizes / sizeof kMediaSizes[0]);

const char kSizeForms[] =
    "BYTES, or a number with a unit as split -b reads it (b: 512; K M G T P E: 1024-based; KB MB "
    "GB TB PB EB: 1000-based; KiB MiB ...), or a medium: floppy cd dvd dvd-dl fat32 mail25 mail10 "
    "discord telegram";

namespace {

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

}  // namespace

const MediaSize* FindMediaSize(const std::string& name) {
    const std::string wanted = Lower(name);
    for (int i = 0; i < kMediaSizeCount; ++i) {
        if (wanted == kMediaSizes[i].name) {
            return &kMediaSizes[i];
        }
    }
    return nullptr;
}

std::optional<int64_t> ParseSizeText(const std::string& text) {
    if (const MediaSize* preset = FindMediaSize(text)) {
        return preset->bytes;
    }
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    if (digits == 0 || digits > 19) {
        return std::nullopt;
    }
    // The unit as GNU split -b reads it: b is 512; a prefix letter (k K m M G T P E) alone or
    // with iB counts in 1024s, with B in 1000s.
    const std::string suffix = text.substr(digits);
    int64_t base = 1;
    int power = 0;
    if (suffix == "b") {
        base = 512;
        power = 1;
    } else if (!suffix.empty()) {
        static const std::string kPrefixes = "kKmMGTPE";
        const size_t at = kPrefixes.find(suffix[0]);
        const std::string rest = suffix.substr(1);
        if (at == std::string::npos || (rest != "" && rest != "B" && rest != "iB")) {
            return std::nullopt;
        }
        base = rest == "B" ? 1000 : 1024;
        power = 1 + static_cast<int>(std::string("KMGTPE").find(
                        static_cast<char>(std::toupper(static_cast<unsigned char>(suffix[0])))));
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    for (int i = 0; i < power; ++i) {
        if (value > kMax / base) {
            return std::nullopt;
        }
        value *= base;
    }
    return value;
}

}  // namespace tessarel
