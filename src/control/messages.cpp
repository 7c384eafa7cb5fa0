#include "control/messages.h"

#include "engine/piece_series.h"
#include "platform/conversions.h"
#include "platform/path.h"

namespace tessarel {

const char kNoFileMessage[] = "You did not specify a file to open or save.";
const char kSizeTooSmallMessage[] = "Size to split to must be greater than 20.";
const char kSizeTooLargeMessage[] =
    "The size you have specified to split is larger than or equal to file size.";
const char kTooManyPiecesMessage[] = "The number of split files will exceed 100.";
const char kNotRecognisedMessage[] = "This file is not recogniseable.";
const char kFailedMessage[] = "Could Not Perform The Specified Operation.";
const char kSplitOntoSourceMessage[] =
    "The file to split would be overwritten by its own pieces. Choose another name to save.";
const char kJoinOntoPieceMessage[] =
    "The file to save is one of the pieces to join. Choose another name to save.";
const char kQuitPrompt[] = "Are you sure?";
const char kSysInfoUnavailable[] = "System Information Is Unavailable At This Time";

const char kDropOneFileMessage[] =
    "Drop one file at a time: a file to split, or the first piece of a series to join.";

namespace {

constexpr char kErrorTitle[] = "ERROR!";
constexpr char kFileTitle[] = "File Message";

// The name part of a piece's path, as the user sees it in a folder.
std::string PieceLabel(const std::string& path) {
    return NameOf(path);
}

std::string Bytes(int64_t count) {
    return StrWithSign(count) + (count == 1 ? " byte" : " bytes");
}

}  // namespace

std::string TooManyPiecesMessage(int64_t smallest_size) {
    const bool fat32 = smallest_size <= 4294967295;  // the fat32 size: a FAT32 file's largest
    return std::string(kTooManyPiecesMessage) + "\r\nAsk for pieces of at least" +
           StrWithSign(smallest_size) + " bytes" + (fat32 ? ", or the fat32 size." : ".");
}

std::string SourceTooLargeMessage() {
    return "The file to split is larger than" + StrWithSign(kMaxWideSourceLength) +
           " bytes, the largest a series can hold.";
}

Notice Refusal(const std::string& message) {
    return {MsgKind::kRefusal, message, kStyleWarning, kErrorTitle};
}

Notice FailedNotice() {
    return {MsgKind::kFailure, kFailedMessage, kStyleCritical, kErrorTitle};
}

Notice SplitConfirmation(int64_t count, int recovery) {
    std::string text = " Will split into " + StrWithSign(count) + " files.";
    if (recovery > 0) {
        text += "\r\n With" + StrWithSign(recovery) +
                (recovery == 1
                     ? " recovery piece: any lost or damaged file"
                     : " recovery pieces: any" + StrWithSign(recovery) + " lost or damaged files") +
                " can be rebuilt.";
    }
    return {MsgKind::kConfirmation, text, kStyleInfoOkCancel, kFileTitle};
}

Notice JoinConfirmation(int64_t count) {
    return {MsgKind::kConfirmation, " Will need " + StrWithSign(count) + " files to join.",
            kStyleInfoOkCancel, kFileTitle};
}

std::string OverwritePrompt(const Replacement& replaced) {
    std::string others;
    if (replaced.more_pieces > 0) {
        others += "and those of" + StrWithSign(replaced.more_pieces) +
                  (replaced.more_pieces == 1 ? " more piece" : " more pieces") + " of that name" +
                  "\r\n";
    }
    if (!replaced.list.empty()) {
        others += "and those of its checksum list " + replaced.list + "\r\n";
    }
    if (replaced.recovery > 0) {
        others += "and those of" + StrWithSign(replaced.recovery) +
                  (replaced.recovery == 1 ? " recovery piece" : " recovery pieces") + "\r\n";
    }
    if (replaced.tail > 0) {
        others += "and" + StrWithSign(replaced.tail) +
                  (replaced.tail == 1 ? " older piece that follows" : " older pieces that follow") +
                  " the new last one" + "\r\n";
    }
    std::string links;
    if (!replaced.linked.empty()) {
        links = replaced.linked + " has other names (hard links): they keep its current contents." +
                "\r\n";
    }
    return "The file " + replaced.first + "\r\n" + " already exists on disk. Saving to that " +
           "\r\n" + "file, will destroy the file's current contents " + "\r\n" + others + links +
           "\r\n" + "\r\n" + "Choose OK to replace file, Cancel to stop.";
}

Notice OverwriteQuestion(const Replacement& replaced) {
    return {MsgKind::kOverwrite, OverwritePrompt(replaced), kStyleInfoOkCancel, kFileTitle};
}

std::string OverwritePrompt(const std::string& name, int64_t more) {
    Replacement replaced;
    replaced.first = name;
    replaced.more_pieces = more;
    return OverwritePrompt(replaced);
}

Notice OverwriteQuestion(const std::string& name, int64_t more) {
    return {MsgKind::kOverwrite, OverwritePrompt(name, more), kStyleInfoOkCancel, kFileTitle};
}

std::string TooManyRecoveryPiecesMessage() {
    return "A series and its recovery pieces can be at most" + StrWithSign(255) +
           " files. Ask for fewer recovery pieces, or a larger piece size.";
}

namespace {

std::string NameList(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + NameOf(names[i]);
    }
    return text;
}

}  // namespace

Notice RebuiltNotice(const std::vector<std::string>& names) {
    return {MsgKind::kInformation,
            "Rebuilt from the recovery pieces: " + NameList(names) +
                ". The joined file is whole; your pieces are as they were.",
            kStyleInformation, kFileTitle};
}

Notice NothingToRepairNotice() {
    return {MsgKind::kInformation, "Nothing to repair: every piece is as its series says.",
            kStyleInformation, kFileTitle};
}

Notice RepairConfirmation(const std::vector<std::string>& names) {
    return {MsgKind::kConfirmation,
            "Will rebuild " + NameList(names) + " from the other pieces, and put " +
                (names.size() == 1 ? "it" : "them") + " in place.",
            kStyleInfoOkCancel, kFileTitle};
}

Notice RepairedNotice(const std::vector<std::string>& names) {
    return {MsgKind::kInformation, "Rebuilt " + NameList(names) + ": the series is whole.",
            kStyleInformation, kFileTitle};
}

std::string CannotRebuildMessage(const std::vector<std::string>& lost, int good) {
    return NameList(lost) + (lost.size() == 1 ? " is" : " are") + " lost or damaged, and" +
           (good == 0 ? std::string(" no good recovery piece is")
                      : StrWithSign(good) +
                            (good == 1 ? " good recovery piece is" : " good recovery pieces are")) +
           " there: " + (lost.size() == 1 ? "it cannot" : "they cannot") + " be rebuilt.";
}

std::string UnprovenRebuildMessage(const std::vector<std::string>& names,
                                   const RebuildOutcome& outcome) {
    const bool one = names.size() == 1;
    if (outcome.changed) {
        return "A piece changed while it was read, so " + NameList(names) + (one ? " is" : " are") +
               " not rebuilt. Try again once nothing writes the series.";
    }
    if (outcome.unprovable) {
        return "No whole recovery piece and no checksum list is there to prove what " +
               NameList(names) + (one ? " was" : " were") + ": nothing is written.";
    }
    if (outcome.listless) {
        return "The recovery pieces there are of the first kind, which proves a rebuilt piece only "
               "with the series' checksum list, and there is none: " +
               NameList(names) + (one ? " is" : " are") + " not rebuilt.";
    }
    return "What the recovery pieces give for " + NameList(names) + " differs from " +
           (one ? "its" : "their") + " checksums: " + (one ? "it is" : "they are") +
           " not rebuilt.";
}

std::string AmbiguousRecoveryMessage(size_t lost) {
    return PlainNumber(int64_t(lost)) + (lost == 1 ? " piece is" : " pieces are") +
           " lost or damaged, and the recovery pieces there are of two versions of the series that "
           "the other pieces cannot tell apart; without the series' checksum list, nothing is "
           "rebuilt from either.";
}

std::string NotAFileToSplitMessage(const std::string& name, PathInfo::Kind kind) {
    return name + " is " +
           (kind == PathInfo::Kind::kFolder ? "a folder" : "a device, a pipe or a socket") +
           ", not a file: only a file can be split. Choose a file to split.";
}

Notice LeftBehindNotice(const std::vector<std::string>& hidden) {
    const std::vector<std::string> files(hidden.begin() + 1, hidden.end());
    return {MsgKind::kFailure,
            "Not everything could be put back as it was" +
                (files.empty() ? std::string()
                               : ": " + NameList(files) + (files.size() == 1 ? " is" : " are") +
                                     " still under a hidden name") +
                ", as the record " + hidden.front() +
                " says. The next Tessarel that writes there puts it back.",
            kStyleCritical, kErrorTitle};
}

Notice NotKeptNotice(const std::string& name) {
    return {MsgKind::kFailure,
            name +
                " was written but the medium gives back other bytes: the stick or disc may be "
                "failing or smaller than it says. Nothing else was changed.",
            kStyleCritical, kErrorTitle};
}

std::string SetWithoutRecoveryMessage(const std::string& output) {
    return "The pieces of " + output +
           " have no recovery pieces beside them: nothing can be rebuilt. tessarel check says "
           "whether they are whole.";
}

std::string MissingMemberMessage(const std::string& name) {
    return name + " is missing: nothing was joined. Put it beside the others and join again.";
}

std::string OtherSetMemberMessage(const std::string& name, int64_t size, int64_t members) {
    return name + " is " + PlainNumber(size) + " bytes, where the members before the last are " +
           PlainNumber(members) + ": it may belong to another set. Nothing was joined.";
}

std::string DiffersFromListMessage(const std::string& name, const std::string& list) {
    return name + " differs from its line in " + list + ": nothing was joined.";
}

Notice NothingComparedNotice(const std::string& output, const std::string& list) {
    return {MsgKind::kInformation,
            "Nothing was compared: no checksum list for " + output +
                " lies beside its pieces. The sender's " + list +
                ", and any recovery pieces, belong with them.",
            kStyleInformation, kFileTitle};
}

std::string LockNotOursMessage(const std::string& lock, const std::string& name) {
    return "Something that is not Tessarel's lock has the name " + lock + " beside " + name +
           ", so no other Tessarel could be kept from writing " + name +
           " meanwhile. Nothing was changed; remove it and try again.";
}

std::string BusyMessage(const std::string& name, bool series) {
    return std::string("Another Tessarel is writing ") + (series ? "the series " : "") + name +
           " now. Try again when it is done.";
}

Notice AftermathNotice(const Aftermath& aftermath, const std::string& name,
                       const std::string& repair) {
    std::string text;
    const std::string journal = aftermath.journal_name;
    switch (aftermath.journal) {
        case Aftermath::Journal::kUndone:
            text = "A Tessarel that did not finish putting " + name +
                   " in place had moved files: they are back as they were before it.";
            break;
        case Aftermath::Journal::kNothingMoved:
            text = "The record " + journal + " of a Tessarel that did not finish putting " + name +
                   " in place is removed: it had moved nothing yet.";
            break;
        case Aftermath::Journal::kCompleted:
            text = "A Tessarel that put " + name +
                   " in place had not finished clearing up after it: that is done now.";
            break;
        case Aftermath::Journal::kKept:
            text = "A Tessarel that did not finish putting " + name +
                   " in place cannot be put right here" +
                   (aftermath.kept.empty() ? std::string()
                                           : ": " + NameList(aftermath.kept) +
                                                 (aftermath.kept.size() == 1 ? " is" : " are") +
                                                 " kept under a hidden name") +
                   ", with its record " + journal +
                   ". Nothing was changed; the next Tessarel that writes " + name + " tries again.";
            break;
        case Aftermath::Journal::kUntrusted:
            text = "The record " + journal + " beside " + name +
                   " is not one this Tessarel may act on: it belongs to another user, names "
                   "files that are not " +
                   name +
                   "'s, or is no record of ours. Nothing was changed; remove it if you "
                   "know where it comes from.";
            break;
        case Aftermath::Journal::kPending:
            text = "A Tessarel did not finish putting " + name + " in place (its record " +
                   journal + " is beside it), so " + name + " is not read now. " + repair +
                   " puts it right.";
            break;
        case Aftermath::Journal::kNone:
            break;
    }
    if (aftermath.removed_bytes > 0) {
        text += std::string(text.empty() ? "" : " ") + "Hidden files that an ended Tessarel left " +
                "beside " + name + " were removed (" + PlainNumber(aftermath.removed_bytes) +
                " bytes).";
    }
    if (aftermath.blocks()) {
        return Refusal(text);
    }
    return {MsgKind::kInformation, text, kStyleInformation, kFileTitle, name};
}

std::string OthersFileMessage(const std::string& name) {
    return "The name " + name +
           " is taken by another user's file, in a folder where only its "
           "owner may replace it: Tessarel does not replace it. Choose another name to save.";
}

std::string NotOrdinaryMessage(const std::string& name, PathInfo::Kind kind) {
    const char* what = kind == PathInfo::Kind::kFolder ? "a folder"
                       : kind == PathInfo::Kind::kLink ? "a link"
                                                       : "a device, a pipe or a socket";
    return "The name " + name + " is taken by " + what +
           ", and only ordinary files are replaced. Choose another name to save.";
}

Notice QuitQuestion() {
    return {MsgKind::kQuit, kQuitPrompt, kStyleYesNo, "Quit?"};
}

Notice StopQuestion() {
    return {MsgKind::kStop,
            "Stop now? What has been written so far is removed, and your files stay as they "
            "were.",
            kStyleYesNo, "Stop?"};
}

std::string TooLargeForDiskMessage(bool pieces, const std::string& name, int64_t largest_file,
                                   int64_t length) {
    return "The disk that is to hold " + name + " keeps files of at most" +
           StrWithSign(largest_file) + " bytes, and " +
           (pieces ? "each piece would be" : "the joined file would be") + StrWithSign(length) +
           " bytes long. " +
           (pieces ? "Choose a smaller piece size, or another disk."
                   : "Choose a disk that keeps larger files.");
}

Notice LowRoomQuestion(bool pieces, const std::string& name, int64_t free, int64_t needed,
                       int64_t hidden_bytes, const std::vector<std::string>& hidden_names) {
    std::string hidden;
    if (hidden_bytes > 0 && !hidden_names.empty()) {
        hidden =
            "Hidden files of unfinished Tessarel runs take" + StrWithSign(hidden_bytes) +
            " bytes there: " + hidden_names.front() +
            (hidden_names.size() > 1
                 ? " and" + StrWithSign(static_cast<int64_t>(hidden_names.size()) - 1) + " more"
                 : "") +
            "." + "\r\n" + "\r\n";
    }
    return {MsgKind::kLowRoom,
            "The disk that is to hold " + name + " has" + StrWithSign(free) + " bytes free, and " +
                (pieces ? "the pieces need" : "the joined file needs") + StrWithSign(needed) +
                " bytes." + "\r\n" + "\r\n" + hidden +
                "Choose OK once there is room enough, or Cancel to stop.",
            kStyleWarningOkCancel, kFileTitle};
}

std::string DroppedFolderMessage(const std::string& name) {
    return name + " is a folder. Drop a file to split, or the first piece of a series to join.";
}

std::string DoneAnnouncement(bool split, int64_t count) {
    return std::string(split ? "Done: the file was split into" : "Done: the file was joined from") +
           StrWithSign(count) + (count == 1 ? " piece." : " pieces.");
}

Notice UnusableListQuestion(const std::string& list_name, const std::string& reason) {
    return {MsgKind::kChecksumList,
            "The checksum list " + list_name + " cannot be used: " + reason + "." + "\r\n" +
                "\r\n" + "Join without comparing the pieces' contents with it?",
            kStyleWarningYesNo, kFileTitle};
}

std::string BadPieceMessage(const PieceCheck& piece) {
    const std::string lead = "The piece " + PieceLabel(piece.name);
    switch (piece.state) {
        case PieceState::kMissing:
            if (!piece.look_alike.empty()) {
                return lead + " is missing; " + PieceLabel(piece.look_alike) +
                       " looks like it: rename it to " + PieceLabel(piece.name) +
                       " and join again.";
            }
            return lead + " is missing.";
        case PieceState::kNotOrdinary:
            return lead + " is not an ordinary file.";
        case PieceState::kShort:
            return lead + " is" + Bytes(piece.expected - piece.actual) + " short.";
        case PieceState::kUnreadable:
            return lead + " cannot be read: " + piece.reason + ".";
        case PieceState::kDamaged:
            return lead +
                   " is damaged: its contents differ from when it was split. Replace it and join "
                   "again.";
        default:
            return "";
    }
}

std::optional<Notice> LongerPiecesQuestion(const std::vector<PieceCheck>& pieces) {
    std::string text;
    for (const PieceCheck& piece : pieces) {
        if (piece.state == PieceState::kLonger) {
            text += "The piece " + PieceLabel(piece.name) + " is" +
                    Bytes(piece.actual - piece.expected) +
                    " longer than its series says; those bytes will be left out." + "\r\n";
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return Notice{MsgKind::kLongerPieces,
                  text + "\r\n" + "Choose OK to join without them, Cancel to stop.",
                  kStyleWarningOkCancel, kFileTitle};
}

}  // namespace tessarel
