#include "control/open_file.h"

#include <cctype>

#include "control/messages.h"
#include "engine/piece_series.h"
#include "platform/extension.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// True when the file at path can be read and starts with the signature.
bool IsFirstPiece(const std::string& path) {
    try {
        File file = File::OpenForReading(path);
        std::string start(kSignatureLength, '\0');
        file.Read(reinterpret_cast<uint8_t*>(start.data()), kSignatureLength);
        return HasSignature(start);
    } catch (const std::exception&) {
        return false;  // unreadable, too short, not an ordinary file: not a first piece
    }
}

}  // namespace

FileProposal ProposeFor(const std::string& path, bool split) {
    if (split) {
        return {Mode::kSplit, path, path + kFirstPieceExtension};
    }
    if (IsFirstPiece(path)) {
        // The join's output goes beside the series, named after it as the join names the
        // series; a first piece without an extension offers no name, and the user gives one.
        std::string save;
        try {
            save = StripExtension(path);
        } catch (const RuntimeError&) {
        }
        return {Mode::kJoin, path, save};
    }
    const std::string first = FirstPieceFor(path);
    if (first != path) {
        return {Mode::kJoin, first, SeriesBaseOf(path)};
    }
    return {Mode::kSplit, path, path + kFirstPieceExtension};
}

std::string FirstPieceFor(const std::string& path) {
    const std::string base = SeriesBaseOf(path);
    if (base.empty()) {
        return path;
    }
    // Its first piece has the same letter case (FILE.M03 -> FILE.M00).
    const std::string first = base + "." + path[base.size() + 1] + "00";
    return first != path && IsFirstPiece(first) ? first : path;
}

std::optional<Notice> CheckDropped(const std::vector<std::string>& paths) {
    if (paths.size() != 1) {
        return Refusal(kDropOneFileMessage);
    }
    bool folder = false;
    try {
        folder = InfoOf(paths.front()).kind == PathInfo::Kind::kFolder;
    } catch (const RuntimeError&) {
        // What cannot be looked at is taken as a file; Go says what is wrong with it.
    }
    if (folder) {
        return Refusal(DroppedFolderMessage(NameOf(paths.front())));
    }
    return std::nullopt;
}

}  // namespace tessarel
