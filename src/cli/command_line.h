// The command line: split, join and check from a terminal or a script, through the same request
// rules and engine as the window, with no display. Exit status 0 when the operation was carried
// out, 1 when it was refused or failed, 2 for a command line that cannot be understood.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/terminal.h"
#include "engine/recovery.h"

namespace tessarel {

// 3: check found the series not whole, but its recovery pieces can rebuild it.
enum ExitStatus { kExitDone = 0, kExitFailed = 1, kExitUsage = 2, kExitRebuildable = 3 };

struct CommandLine {
    enum class Command { kSplit, kJoin, kCheck, kRepair, kHelp, kVersion };
    enum class Size { kDefault, kBytes, kKilobytes, kPieces };

    Command command = Command::kHelp;
    Size size = Size::kDefault;
    std::string size_value;         // digits, as given
    bool yes = false;               // an existing output may be replaced
    bool checksums = true;          // a split writes the series' checksum list
    bool verify = true;             // a join compares the pieces with the list
    std::optional<bool> read_back;  // what is written is read back from its medium
    bool from_medium = false;       // check reads the pieces from their medium
    bool numbered = false;          // a split writes plain numbered pieces
    RecoveryCount recovery;         // a split's recovery pieces
    bool help = false;              // how to use the command, rather than the command itself
    std::vector<std::string> names;
};

// True when the arguments (without the program's name) ask for the command line rather than
// the window: a first argument of exactly split, join, check or repair, or --help or --version,
// or a first word that is no option and names no file (a command mistyped, said as such).
bool IsCommandLineRun(const std::vector<std::string>& args);

// The command the arguments give, or the usage error to print.
std::variant<CommandLine, std::string> ParseCommandLine(const std::vector<std::string>& args);

// Runs the arguments as a command; what the user should read goes to out (help, the pieces a
// check found) and io.err (messages, progress). Returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, const TerminalIo& io, FILE* out,
                   bool progress_shown);

// The file the window opens on, from what is left of its arguments once Qt took its own: the
// first one (after "--split" and "--", when given), made absolute from folder, since the window
// works from its own folder. Empty when there is none.
std::string FileToOpen(const std::vector<std::string>& args, const std::string& folder);
// True when the window is to split its file whatever it is ("--split FILE": a file manager's
// "Split with Tessarel", also on a piece).
bool SplitWanted(const std::vector<std::string>& args);

// tessarel --help: how each command is used, from the table its options are parsed by.
void PrintUsage(FILE* out);
// A command line that cannot be understood, in a line, and where to read how: command's help
// when command is one, else the program's.
void PrintUsageError(const std::string& error, const std::string& command, FILE* err);
// Said by the window program started where there is no display.
extern const char kNoDisplay[];
// Said where the console closes with the program (started from Explorer), before it waits.
extern const char kKeyToClose[];

}  // namespace tessarel
