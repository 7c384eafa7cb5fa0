// Every text the requests show, in one place: a change of wording is one edit here. The disk
// errors' texts are the table of trap/file_err.cpp; the command line's own words (usage,
// progress) are in cli/. Each notice carries its kind, so no front end reads its words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/commit.h"
#include "engine/series_check.h"
#include "engine/series_recovery.h"
#include "platform/message_box.h"
#include "platform/path.h"

namespace tessarel {

extern const char kNoFileMessage[];
extern const char kSizeTooSmallMessage[];
extern const char kSizeTooLargeMessage[];
extern const char kTooManyPiecesMessage[];
extern const char kNotRecognisedMessage[];
extern const char kFailedMessage[];
extern const char kSplitOntoSourceMessage[];
extern const char kJoinOntoPieceMessage[];
extern const char kQuitPrompt[];
extern const char kSysInfoUnavailable[];

// A source beyond what a header's ten digits can say.
std::string SourceTooLargeMessage();
// More than 100 pieces: the smallest piece size that makes at most 100 is named.
std::string TooManyPiecesMessage(int64_t smallest_size);

// A refusal: the message with the exclamation icon, titled "ERROR!".
Notice Refusal(const std::string& message);
// The failed-operation message, also after Cancel at the overwrite question.
Notice FailedNotice();
// With the recovery pieces it writes too, on a line of their own.
Notice SplitConfirmation(int64_t count, int recovery = 0);
Notice JoinConfirmation(int64_t count);
// What a request would replace: the first file of it named, then how many more pieces, the
// checksum list, and an older series' pieces after the new last one; and a file among them that
// has other names (hard links), which keep its current contents.
struct Replacement {
    std::string first;  // name parts only
    int64_t more_pieces = 0;
    std::string list;
    int64_t tail = 0;
    int64_t recovery = 0;  // recovery pieces of that name
    std::string linked;
};
Notice OverwriteQuestion(const Replacement& replaced);
std::string OverwritePrompt(const Replacement& replaced);
// The same for one file, and for more other pieces of the same series that exist too.
Notice OverwriteQuestion(const std::string& name, int64_t more = 0);
std::string OverwritePrompt(const std::string& name, int64_t more = 0);
// The file named to split is a folder, or not a file at all.
std::string NotAFileToSplitMessage(const std::string& name, PathInfo::Kind kind);
// A split asked for more recovery pieces than the code allows beside its pieces.
std::string TooManyRecoveryPiecesMessage();
// The pieces a join rebuilt from the recovery pieces, said once it is done.
Notice RebuiltNotice(const std::vector<std::string>& names);
// Lost pieces that the recovery pieces there are too few to rebuild.
std::string CannotRebuildMessage(const std::vector<std::string>& lost, int good);
// Lost pieces whose rebuild did not prove out: what the recovery pieces gave differs from their
// checksums, a piece changed while it was read, or the recovery pieces (of the first kind) can
// prove a rebuild only with the checksum list, which is not there.
std::string UnprovenRebuildMessage(const std::vector<std::string>& names,
                                   const RebuildOutcome& outcome);
// Lost pieces, and recovery pieces of two versions of the series that the pieces there bear out
// alike: neither is used (lost: how many).
std::string AmbiguousRecoveryMessage(size_t lost);
// repair: nothing was lost; the pieces it will rebuild (go on?); what it rebuilt.
Notice NothingToRepairNotice();
Notice RepairConfirmation(const std::vector<std::string>& names);
Notice RepairedNotice(const std::vector<std::string>& names);
// A commit that failed and could not put everything back: the journal and the hidden names that
// still hold the user's files.
Notice LeftBehindNotice(const std::vector<std::string>& hidden);
// A result read back from its medium gave other bytes than were written (or none).
Notice NotKeptNotice(const std::string& name);
// Another tool's numbered set: a member missing; one not of the size the others are; one that
// differs from its line in the list; joined with no list to compare it with.
std::string MissingMemberMessage(const std::string& name);
// Repair asked of a numbered set without recovery pieces.
std::string SetWithoutRecoveryMessage(const std::string& output);
std::string OtherSetMemberMessage(const std::string& name, int64_t size, int64_t members);
std::string DiffersFromListMessage(const std::string& name, const std::string& list);
Notice NothingComparedNotice(const std::string& output, const std::string& list);
// Something that is not a lock of ours (a link, a folder) has the lock's name beside name.
std::string LockNotOursMessage(const std::string& lock, const std::string& name);
// Another run of the program writes name (a series' first piece, or a file) now.
std::string BusyMessage(const std::string& name, bool series);
// What was put right of an unfinished run's leavings beside name, in one line; a refusal when
// what is there is not settled (repair: the command that puts a pending one right).
Notice AftermathNotice(const Aftermath& aftermath, const std::string& name,
                       const std::string& repair = "");
// A name the request would write is another user's file, in a folder only its owner may change.
std::string OthersFileMessage(const std::string& name);
// A name the request would write is taken by something that is not an ordinary file.
std::string NotOrdinaryMessage(const std::string& name, PathInfo::Kind kind);
Notice QuitQuestion();
// Cancel pressed while an operation runs.
Notice StopQuestion();

// The disk that is to hold name keeps no file as long as length (a piece, or the joined file).
std::string TooLargeForDiskMessage(bool pieces, const std::string& name, int64_t largest_file,
                                   int64_t length);
// The disk that is to hold name has less room than the result needs: go on? Hidden files of
// unfinished runs that take room there are named (hidden_bytes, hidden_names).
Notice LowRoomQuestion(bool pieces, const std::string& name, int64_t free, int64_t needed,
                       int64_t hidden_bytes = 0, const std::vector<std::string>& hidden_names = {});

// Dropped on the window: several files, or a folder.
extern const char kDropOneFileMessage[];
std::string DroppedFolderMessage(const std::string& name);
// Said to a screen reader when a split or join has been carried out.
std::string DoneAnnouncement(bool split, int64_t count);

// The series' checksum list cannot be read or is not one of ours: join without it?
Notice UnusableListQuestion(const std::string& list_name, const std::string& reason);

// What is wrong with a piece that refuses a join: missing, not an ordinary file, short.
std::string BadPieceMessage(const PieceCheck& piece);
// Pieces longer than planned are the user's choice: one question naming each with its extra
// bytes; none when there are none.
std::optional<Notice> LongerPiecesQuestion(const std::vector<PieceCheck>& pieces);

}  // namespace tessarel
