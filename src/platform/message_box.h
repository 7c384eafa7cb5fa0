// The program's message box: a notice in (what it is, its prompt, style and title), the pressed
// button out. Styles and answers are the classic Windows message-box ones, which the error
// handling and the Go command are written against; StyleNumber turns a style into its number.
#pragma once

#include <string>
#include <vector>

namespace tessarel {

enum MsgAnswer : int {
    kAnswerNone = 0,  // no button: only where a style gives Escape no meaning
    kAnswerOk = 1,
    kAnswerCancel = 2,
    kAnswerAbort = 3,
    kAnswerRetry = 4,
    kAnswerIgnore = 5,
    kAnswerYes = 6,
    kAnswerNo = 7,
};

enum class MsgButtons { kOk, kOkCancel, kAbortRetryIgnore, kYesNoCancel, kYesNo, kRetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };

struct MsgStyle {
    MsgButtons buttons = MsgButtons::kOk;
    MsgIcon icon = MsgIcon::None;
    int default_button = 0;  // which button Enter presses, from 0
    bool operator==(const MsgStyle& o) const {
        return buttons == o.buttons && icon == o.icon && default_button == o.default_button;
    }
    bool operator!=(const MsgStyle& o) const { return !(*this == o); }
};

// The styles the program shows.
constexpr MsgStyle kStylePlain{MsgButtons::kOk, MsgIcon::None};                         // 0
constexpr MsgStyle kStyleYesNo{MsgButtons::kYesNo, MsgIcon::None};                      // 4
constexpr MsgStyle kStyleCritical{MsgButtons::kOk, MsgIcon::Critical};                  // 16
constexpr MsgStyle kStyleWarning{MsgButtons::kOk, MsgIcon::Exclamation};                // 48
constexpr MsgStyle kStyleWarningOkCancel{MsgButtons::kOkCancel, MsgIcon::Exclamation};  // 49
constexpr MsgStyle kStyleWarningYesNo{MsgButtons::kYesNo, MsgIcon::Exclamation};        // 52
constexpr MsgStyle kStyleWarningRetryCancel{MsgButtons::kRetryCancel, MsgIcon::Exclamation};
constexpr MsgStyle kStyleInfoOkCancel{MsgButtons::kOkCancel, MsgIcon::Information};  // 65
constexpr MsgStyle kStyleInformation{MsgButtons::kOk, MsgIcon::Information};         // 64

// The style's number as the classic message box takes it (48 for an exclamation with OK).
int StyleNumber(MsgStyle style);
// The style a number stands for; unknown button codes are OK only.
MsgStyle StyleOfNumber(int number);

// What a notice is, so that a front end that answers some questions by itself (the command
// line) decides by kind, never by wording.
enum class MsgKind {
    kRefusal,        // a request refused before anything was done
    kFailure,        // the operation was not carried out
    kConfirmation,   // how many pieces: go on?
    kOverwrite,      // an existing file would be replaced
    kLongerPieces,   // pieces longer than their series says: join without the extra bytes?
    kChecksumList,   // the series' checksum list cannot be used: join without it?
    kLowRoom,        // the disk seems to have too little room for the result: go on?
    kDiskError,      // a disk or file error the user can only acknowledge
    kDiskFull,       // the disk is full: try the same write again?
    kDriveNotReady,  // no disk in the drive: try again?
    kErrorReport,    // an error no table knows: "Error # n"
    kQuit,           // leave the program?
    kStop,           // stop the operation that runs?
    kInformation,    // anything else that is only said
};

struct Notice {
    Notice() = default;
    Notice(MsgKind kind_, std::string prompt_, MsgStyle style_, std::string title_,
           std::string file_ = "")
        : kind(kind_),
          prompt(std::move(prompt_)),
          style(style_),
          title(std::move(title_)),
          file(std::move(file_)) {}

    MsgKind kind = MsgKind::kInformation;
    std::string prompt;
    MsgStyle style;
    std::string title;
    std::string file;    // the file the notice is about, when there is one
    std::string detail;  // an error report's description alone, without its number
    bool operator==(const Notice& o) const {
        return kind == o.kind && prompt == o.prompt && style == o.style && title == o.title;
    }
};

// What a style asks for: the icon, the buttons in order, which is the default, and what
// Escape answers (kAnswerNone when Escape does nothing).
struct MsgLayout {
    MsgIcon icon = MsgIcon::None;
    std::vector<MsgAnswer> buttons;
    int default_index = 0;
    MsgAnswer escape_answer = kAnswerNone;
};

MsgLayout LayoutOf(MsgStyle style);

// The caption a button of the given answer carries, with its access key.
const char* ButtonCaption(MsgAnswer answer);

class MessageBox {
  public:
    virtual ~MessageBox() = default;
    // Shows the notice modally and returns the pressed button.
    virtual MsgAnswer Show(const Notice& notice) = 0;
    // Answers the notice this box shows now, if any, as its Escape does (Cancel, else No): a
    // stop asked for, by whatever route, while the operation's own question is up.
    virtual void CancelShown() {}
};

}  // namespace tessarel
