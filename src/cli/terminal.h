// The command line's stand-ins for the window: messages and questions on a terminal, and the
// progress of an operation as one line that is rewritten.
#pragma once

#include <cstdio>
#include <string>

#include <chrono>

#include "control/time_left.h"
#include "engine/progress_display.h"
#include "platform/message_box.h"

namespace tessarel {

// Where the command line talks: standard error for messages, standard input for answers.
struct TerminalIo {
    FILE* err = stderr;
    FILE* in = stdin;
    // Standard input and standard error are both terminals: questions are asked there, and
    // only there, so a question is never asked where nobody sees it.
    bool interactive = false;
};

// Shows each message on the terminal as the window words it, and answers by the notice's kind:
// the confirmation of a request is taken as given (the command itself asked for it); the
// question before a file is replaced is answered by --yes; every other question is asked when
// there is a terminal to ask on, and otherwise answered as Cancel or No would be.
class TerminalProgress;

class TerminalMessageBox : public MessageBox {
  public:
    // A progress line being drawn on the same terminal, if any, is ended before a message.
    TerminalMessageBox(TerminalIo io, bool replace_existing, TerminalProgress* progress = nullptr)
        : io_(io), replace_existing_(replace_existing), progress_(progress) {}

    MsgAnswer Show(const Notice& notice) override;

  private:
    // The notice as the terminal words it: an error about a file names the file first.
    std::string Text(const Notice& notice) const;
    // Asks until one of the buttons is answered; Enter gives the default button, or the safe
    // answer (Cancel, No) when safe is set.
    MsgAnswer Ask(const std::string& text, const MsgLayout& layout, bool safe);

    TerminalIo io_;
    bool replace_existing_;
    TerminalProgress* progress_;
};

// Piece k of n, the percentage, the rate and the time left, on one line of standard error,
// when it is a terminal. A stop is asked for by the signals CatchStopSignals catches.
class TerminalProgress : public ProgressDisplay {
  public:
    TerminalProgress(FILE* err, bool shown) : err_(err), shown_(shown) {}

    void ShowTotal(int64_t count) override;
    void ShowOperating() override;
    void ShowPiece(int64_t k) override;
    void SetProgress(float percent) override;
    void ShowReadingBack(bool reading) override;
    void ShowBytes(int64_t done, int64_t total) override;
    void ShowIdle() override;
    bool ShouldStop() override;
    // Ends the line being drawn, so that a message starts on a line of its own; the next
    // change draws it again below.
    void BreakLine();

  private:
    void Draw();

    FILE* err_;
    bool shown_;
    int64_t total_ = 0;
    int64_t piece_ = 1;
    int percent_ = 0;
    bool drawn_ = false;
    int drawn_length_ = 0;
    TimeLeft time_left_;
    std::string left_text_;
    bool reading_back_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// The text as a terminal shows it: the window's CR LF and lone CR become line ends.
std::string TerminalText(const std::string& text);

// A name as a terminal can show it: as it is, unless it holds control characters; then quoted
// as ls quotes it ('a'$'\n''b').
std::string QuotedName(const std::string& name);

}  // namespace tessarel
