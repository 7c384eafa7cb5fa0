// A file handed to the program from outside (its command line, a file manager, a drop): what
// the window should be set to so that Go does the expected thing with it. Nothing is run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/split_join.h"
#include "platform/message_box.h"

namespace tessarel {

struct FileProposal {
    Mode mode = Mode::kSplit;
    std::string open;  // for txtOpen
    std::string save;  // for txtSave
};

// A first piece (it starts with the signature) is proposed for joining into its base name
// beside it; a later piece NAME.mNN or a recovery piece NAME.rNN proposes NAME.m00 (FirstPieceFor)
// when that is a first piece or recovery pieces of NAME are there;
// any other file is proposed for splitting into FILE.m00. With split, the file is proposed for
// splitting whatever it is (a file manager's "Split with Tessarel" on a piece).
FileProposal ProposeFor(const std::string& path, bool split = false);

// The first piece of the series a later piece NAME.mNN or a recovery piece NAME.rNN belongs to:
// NAME.m00, in the same letter case, whether it is there or not (the recovery pieces may rebuild
// it); the piece itself only when it is a first piece under a later piece's name. Any other name
// as it is. A piece given to join, check or repair stands for its series, as in the window.
std::string FirstPieceFor(const std::string& path);

// The file a join of first_piece makes by default: a numbered set's name without its number, a
// series' first piece without its extension (raises the invalid-argument error when it has none).
std::string JoinOutputFor(const std::string& first_piece);

// Files dropped on the window: one file is taken as if opened; several, or a folder, are
// refused with what to drop instead.
std::optional<Notice> CheckDropped(const std::vector<std::string>& paths);

}  // namespace tessarel
