// The Go command: reads the request from the window, checks it, asks for confirmation and
// before replacing a file, clears the way and runs the split or join.
#pragma once

#include <string>
#include <vector>

#include "engine/progress_display.h"
#include "engine/series_check.h"
#include "platform/message_box.h"

namespace tessarel {

// The fields of the main window the Go command reads and writes. Texts are UTF-8.
class GoForm {
  public:
    virtual ~GoForm() = default;
    virtual std::string OpenText() const = 0;  // txtOpen
    virtual std::string SaveText() const = 0;  // txtSave
    virtual void SetSaveText(const std::string& text) = 0;
    virtual bool SplitSelected() const = 0;  // optSplit
    virtual bool ExactSelected() const = 0;  // optExact
    virtual std::string ApproxText() const = 0;
    virtual std::string ExactText() const = 0;
    virtual std::string SizeText() const = 0;  // txtSize: the piece size in bytes
    virtual void SetSizeText(const std::string& text) = 0;
    virtual void SetTotalCaption(const std::string& text) = 0;  // lblTotal
};

// Messages of the Go command that are not in the disk-error table.
extern const char kNoFileMessage[];
extern const char kSizeTooSmallMessage[];
extern const char kSizeTooLargeMessage[];
extern const char kTooManyPiecesMessage[];
extern const char kNotRecognisedMessage[];
extern const char kFailedMessage[];
extern const char kSplitOntoSourceMessage[];
extern const char kJoinOntoPieceMessage[];

// Why a join cannot use this piece: missing, not an ordinary file, or how many bytes short.
std::string BadPieceMessage(const PieceCheck& piece);
// The question for pieces longer than planned, naming each with its extra bytes; empty when
// there are none.
std::string LongerPiecesQuestion(const std::vector<PieceCheck>& pieces);

// The overwrite question for an existing file whose name part is name.
std::string OverwritePrompt(const std::string& name);

void cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box);

}  // namespace tessarel
