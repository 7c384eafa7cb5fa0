#include "cli/terminal.h"

#include "platform/console.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tessarel {
namespace {

// The caption of a button as the terminal shows it: no access-key mark.
std::string Caption(MsgAnswer answer) {
    std::string caption = ButtonCaption(answer);
    caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
    return caption;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string TerminalText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

// Questions whose Yes gives up a protection (a file kept, the pieces compared, room enough):
// Enter must not answer it.
bool SafeByDefault(MsgKind kind) {
    return kind == MsgKind::kOverwrite || kind == MsgKind::kLongerPieces ||
           kind == MsgKind::kLowRoom || kind == MsgKind::kChecksumList;
}

// A path as the user gave it: the "./" the command line put before a bare name goes again.
std::string AsGiven(const std::string& path) {
    return path.rfind("./", 0) == 0 ? path.substr(2) : path;
}

}  // namespace

std::string TerminalMessageBox::Text(const Notice& notice) const {
    // An error about a file says which one, as the tools of a terminal do.
    const bool about_file =
        !notice.file.empty() &&
        (notice.kind == MsgKind::kErrorReport || notice.kind == MsgKind::kDiskError ||
         notice.kind == MsgKind::kDiskFull || notice.kind == MsgKind::kDriveNotReady);
    if (!about_file) {
        return TerminalText(notice.prompt);
    }
    const std::string what = notice.kind == MsgKind::kErrorReport && !notice.detail.empty()
                                 ? notice.detail
                                 : notice.prompt;
    return "tessarel: " + QuotedName(AsGiven(notice.file)) + ": " + TerminalText(what);
}

MsgAnswer TerminalMessageBox::Show(const Notice& notice) {
    if (progress_) {
        progress_->BreakLine();
    }
    const MsgLayout layout = LayoutOf(notice.style);
    const std::string text = Text(notice);
    if (layout.buttons.size() <= 1) {
        // A refusal or a failure says whose it is, as every diagnostic of the command line does.
        const bool diagnostic =
            notice.kind == MsgKind::kRefusal || notice.kind == MsgKind::kFailure ||
            notice.kind == MsgKind::kDiskError || notice.kind == MsgKind::kErrorReport;
        const bool named = text.rfind("tessarel: ", 0) == 0;
        std::fprintf(io_.err, "%s%s\n", diagnostic && !named ? "tessarel: " : "", text.c_str());
        return layout.buttons.empty() ? kAnswerOk : layout.buttons.front();
    }
    switch (notice.kind) {
        case MsgKind::kConfirmation:
            // The command itself asked for the operation.
            std::fprintf(io_.err, "%s\n", text.c_str());
            return kAnswerOk;
        case MsgKind::kOverwrite:
        case MsgKind::kLowRoom:
            if (replace_existing_) {  // --yes
                return kAnswerOk;
            }
            break;
        default:
            break;
    }
    if (io_.interactive) {
        return Ask(text, layout, SafeByDefault(notice.kind));
    }
    std::fprintf(io_.err, "%s\n", text.c_str());
    std::fprintf(io_.err, "Answered %s: there is no terminal to ask on.\n",
                 Caption(layout.escape_answer).c_str());
    if (notice.kind == MsgKind::kOverwrite) {
        std::fprintf(io_.err, "Use --yes to replace the file.\n");
    } else if (notice.kind == MsgKind::kLowRoom) {
        std::fprintf(io_.err, "Use --yes to go on all the same.\n");
    } else if (notice.kind == MsgKind::kChecksumList) {
        std::fprintf(io_.err, "Use --no-verify to join without it.\n");
    }
    return layout.escape_answer;
}

MsgAnswer TerminalMessageBox::Ask(const std::string& text, const MsgLayout& layout, bool safe) {
    std::string choices;
    for (MsgAnswer answer : layout.buttons) {
        choices += (choices.empty() ? "" : "/") + Caption(answer);
    }
    const MsgAnswer fallback =
        safe ? layout.escape_answer : layout.buttons[static_cast<size_t>(layout.default_index)];
    for (;;) {
        std::fprintf(io_.err, "%s\n[%s, Enter for %s] ", text.c_str(), choices.c_str(),
                     Caption(fallback).c_str());
        std::fflush(io_.err);
        const std::optional<std::string> line = ReadAnswerLine(io_.in);
        if (!line) {
            std::fprintf(io_.err, "\n");
            return layout.escape_answer;  // end of input, or a stop: as Escape in the window
        }
        std::string reply = Lower(*line);
        reply.erase(std::remove_if(reply.begin(), reply.end(),
                                   [](unsigned char c) { return std::isspace(c); }),
                    reply.end());
        if (reply.empty()) {
            return fallback;
        }
        for (MsgAnswer answer : layout.buttons) {
            const std::string caption = Lower(Caption(answer));
            if (reply == caption || reply == caption.substr(0, 1)) {
                return answer;
            }
        }
    }
}

std::string QuotedName(const std::string& name) {
    const bool plain = std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
    if (plain) {
        return name;
    }
    // As ls quotes it: the printable runs in single quotes, each control character as $'\ooo'
    // (or its letter escape), so the name can be pasted back into a shell.
    std::string out;
    bool quoted = false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            if (quoted) {
                out += '\'';
                quoted = false;
            }
            static const char kLetters[] = "abtnvfr";  // \a to \r are 7 to 13
            char escape[8];
            if (u >= 7 && u <= 13) {
                std::snprintf(escape, sizeof escape, "$'\\%c'", kLetters[u - 7]);
            } else {
                std::snprintf(escape, sizeof escape, "$'\\%03o'", u);
            }
            out += escape;
            continue;
        }
        if (!quoted) {
            out += '\'';
            quoted = true;
        }
        if (c == '\'') {
            out += "'\\''";  // a quote inside quotes: close, escaped quote, open again
        } else {
            out += c;
        }
    }
    if (quoted) {
        out += '\'';
    }
    return out;
}

void TerminalProgress::ShowTotal(int64_t count) {
    total_ = count;
}

void TerminalProgress::ShowOperating() {
    started_ = std::chrono::steady_clock::now();
}

void TerminalProgress::ShowBytes(int64_t done, int64_t total) {
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    time_left_.Update(done, total, now);
    const std::string text = time_left_.Text();
    if (text != left_text_) {
        left_text_ = text;
        Draw();
    }
}

bool TerminalProgress::ShouldStop() {
    return StopSignal() != 0;
}

void TerminalProgress::ShowReadingBack(bool reading) {
    reading_back_ = reading;
    started_ = std::chrono::steady_clock::now();
    time_left_ = TimeLeft();
    left_text_.clear();
}

void TerminalProgress::ShowPiece(int64_t k) {
    piece_ = k;
    Draw();
}

void TerminalProgress::SetProgress(float percent) {
    if (static_cast<int>(percent) != percent_) {
        percent_ = static_cast<int>(percent);
        Draw();
    }
}

void TerminalProgress::ShowIdle() {
    BreakLine();
}

void TerminalProgress::BreakLine() {
    if (shown_ && drawn_) {
        std::fprintf(err_, "\n");
        drawn_ = false;
    }
}

void TerminalProgress::Draw() {
    if (!shown_) {
        return;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s %lld of %lld, %3d%%%s%s",
                  reading_back_ ? "Reading back from the medium: piece" : "Piece",
                  static_cast<long long>(piece_), static_cast<long long>(total_), percent_,
                  left_text_.empty() ? "" : ", ", left_text_.c_str());
    // Blanks over what a longer line drawn before left behind.
    const int length = static_cast<int>(std::strlen(line));
    std::fprintf(err_, "\r%s%*s", line, std::max(0, drawn_length_ - length), "");
    drawn_length_ = length;
    std::fflush(err_);
    drawn_ = true;
}

}  // namespace tessarel
