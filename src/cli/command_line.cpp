#include "cli/command_line.h"

#include <algorithm>

#include "cli/check_report.h"
#include "cli/terminal.h"
#include "control/commands.h"
#include "control/media_sizes.h"
#include "control/open_file.h"
#include "engine/piece_series.h"
#include "platform/console.h"
#include "platform/conversions.h"
#include "platform/extension.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

const char kKeyToClose[] = "Press a key to close this window.\n";

namespace {

// A number of more digits than this may not fit in 64 bits.
constexpr size_t kMostDigits = 18;

using Command = CommandLine::Command;

// Which commands take an option: a set of bits, one per command.
constexpr unsigned Bit(Command command) {
    return 1u << static_cast<unsigned>(command);
}
constexpr unsigned kSplit = Bit(Command::kSplit);
constexpr unsigned kJoin = Bit(Command::kJoin);
constexpr unsigned kCheck = Bit(Command::kCheck);
constexpr unsigned kRepair = Bit(Command::kRepair);

enum class OptionId {
    kHelp,
    kSize,
    kKilobytes,
    kPieces,
    kRecovery,
    kYes,
    kNoChecksums,
    kNumbered,
    kNoVerify,
    kVerifyWritten,
    kNoVerifyWritten,
    kFromMedium,
};

// Every option of every command: the parser reads it, and a command's usage line and --help are
// made from it, so what is taken and what is said cannot part. Rows of one option for several
// commands may differ in their help only.
struct OptionRow {
    OptionId id;
    unsigned commands;
    char short_name;        // 0: none
    const char* long_name;  // "--size"
    const char* value;      // what it takes, as the usage shows it; nullptr: nothing
    bool in_usage;          // shown on the usage line
    const char* help;       // continued lines start with '\n'
};

// The piece size options exclude one another; the usage line shows them as one choice.
bool IsPieceSize(OptionId id) {
    return id == OptionId::kSize || id == OptionId::kKilobytes || id == OptionId::kPieces;
}

const OptionRow kOptions[] = {
    {OptionId::kSize, kSplit, 's', "--size", "SIZE", true,
     "piece size in bytes, with a unit as split -b reads\n"
     "it (25M, 4GiB: K M G T count 1024; 100KB: KB MB\n"
     "GB TB 1000) or a medium's name (below)"},
    {OptionId::kKilobytes, kSplit, 'k', "--kb", "N", true,
     "piece size in kilobytes of 1024 bytes; 1400\n"
     "without a size"},
    {OptionId::kPieces, kSplit, 'n', "--pieces", "N", true,
     "the smallest piece size that makes at most N\n"
     "pieces"},
    {OptionId::kRecovery, kSplit, 'r', "--recovery", "N|N%", true,
     "also writes N recovery pieces (BASE.r00, ...), or\n"
     "N% of the pieces: any N lost or damaged pieces\n"
     "can be rebuilt from them"},
    {OptionId::kYes, kSplit, 'y', "--yes", nullptr, true,
     "replaces existing pieces, and goes on when the\n"
     "disk looks too small, without asking"},
    {OptionId::kYes, kJoin, 'y', "--yes", nullptr, true,
     "replaces an existing file, and goes on when the\n"
     "disk looks too small, without asking"},
    {OptionId::kNoChecksums, kSplit, 0, "--no-checksums", nullptr, true, "writes no checksum list"},
    {OptionId::kNumbered, kSplit, 0, "--numbered", nullptr, true,
     "writes plain numbered pieces, SOURCE.001, .002,\n"
     "..., with no header: cat, copy /b and common\n"
     "archivers join them"},
    {OptionId::kNoVerify, kJoin, 0, "--no-verify", nullptr, true,
     "joins without comparing the pieces with their\n"
     "checksum list"},
    {OptionId::kVerifyWritten, kSplit, 0, "--verify-written", nullptr, false,
     "reads the pieces back from the medium, past the\n"
     "system's cache, before they take their names (by\n"
     "default on removable media)"},
    {OptionId::kVerifyWritten, kJoin, 0, "--verify-written", nullptr, false,
     "reads OUTPUT back from its medium before it takes\n"
     "its name (by default on removable media)"},
    {OptionId::kNoVerifyWritten, kSplit | kJoin, 0, "--no-verify-written", nullptr, false,
     "never reads back what was written"},
    {OptionId::kFromMedium, kCheck, 0, "--from-medium", nullptr, true,
     "reads the pieces from their medium, past the\n"
     "system's cache"},
    {OptionId::kHelp, kSplit | kJoin | kCheck | kRepair, 'h', "--help", nullptr, false,
     "says how to use this command"},
};

// The commands, with what each takes besides its options.
struct CommandRow {
    Command command;
    const char* word;
    const char* operands;  // as the usage line shows them
    size_t most_names;
    const char* summary;  // for tessarel --help
    const char* about;    // for tessarel COMMAND --help
    const char* example;
};

const CommandRow kCommands[] = {
    {Command::kSplit, "split", "SOURCE [FIRST_PIECE]", 2,
     "cuts SOURCE into pieces FIRST_PIECE (SOURCE.m00 unless given), .m01, ...",
     "Cuts SOURCE into the pieces FIRST_PIECE (SOURCE.m00 unless given), .m01, ..., and\n"
     "writes their checksum list BASE.sha256 beside them. A folder as FIRST_PIECE means\n"
     "the pieces go into it. At most 100 pieces, of a file as large as the file system\n"
     "holds; one over 9999999999 bytes gets a first piece with a wide header. A file\n"
     "no larger than one piece is not split. Without a size, pieces of 1400 KB.\n",
     "tessarel split -s fat32 -r 10% film.mkv"},
    {Command::kJoin, "join", "FIRST_PIECE [OUTPUT]", 2,
     "rebuilds the file from the series whose first piece is FIRST_PIECE, into\n"
     "OUTPUT (the first piece's name without its extension unless given); also a\n"
     "numbered set of other tools from any member (NAME.001, NAME.aa, x00, NAME.0).",
     "Rebuilds the file from the series whose first piece is FIRST_PIECE, into OUTPUT\n"
     "(the first piece's name without its extension unless given; a folder means the\n"
     "file goes into it). Every piece is looked at first, and compared with the series'\n"
     "checksum list while it is read; nothing is written when one is missing or damaged,\n"
     "unless recovery pieces beside it can rebuild it: then it is rebuilt, and said.\n"
     "A checksum list that cannot be used ends the join, unless Yes is answered on a\n"
     "terminal (Enter is No) or --no-verify is given.\n",
     "tessarel join film.mkv.m00"},
    {Command::kCheck, "check", "FIRST_PIECE", 1,
     "reads every piece of a series through, compares it with the series' checksum\n"
     "list, and says what it found; writes nothing.",
     "Reads every piece and recovery piece of the series whose first piece is FIRST_PIECE,\n"
     "compares them with the series' checksum list, and says what it found and what the\n"
     "recovery pieces can rebuild; writes nothing. Exit status 0 when every piece is as\n"
     "its series says and no file of the series' name follows its last piece, 3 when it\n"
     "is not but the recovery pieces can rebuild it (tessarel repair), 1 otherwise.\n",
     "tessarel check film.mkv.m00"},
    {Command::kRepair, "repair", "FIRST_PIECE", 1,
     "rebuilds lost or damaged pieces from the recovery pieces, in their places.",
     "Rebuilds the pieces and recovery pieces of the series whose first piece is\n"
     "FIRST_PIECE that are missing, short, unreadable or damaged (by the checksum list),\n"
     "from the others, and puts them in their places, all at once or not at all.\n"
     "Refuses, naming them, when too many are lost for the recovery pieces there.\n",
     "tessarel repair film.mkv.m00"},
};

const CommandRow* FindCommand(const std::string& word) {
    for (const CommandRow& row : kCommands) {
        if (word == row.word) {
            return &row;
        }
    }
    return nullptr;
}

const CommandRow& RowOf(Command command) {
    for (const CommandRow& row : kCommands) {
        if (row.command == command) {
            return row;
        }
    }
    return kCommands[0];
}

// The option a command takes under that name ("--size", or 's' for "-s"), or null.
const OptionRow* FindOption(Command command, const std::string& long_name, char short_name) {
    for (const OptionRow& row : kOptions) {
        if ((row.commands & Bit(command)) != 0 &&
            (short_name != 0 ? row.short_name == short_name : long_name == row.long_name)) {
            return &row;
        }
    }
    return nullptr;
}

// The option as the usage line shows it: its short form when it has one.
std::string UsageForm(const OptionRow& row) {
    std::string form = row.short_name != 0 ? std::string("-") + row.short_name : row.long_name;
    return row.value ? form + " " + row.value : form;
}

// "tessarel split [-s SIZE | -k N | -n N] [-r N|N%] ... SOURCE [FIRST_PIECE]", wrapped to the
// width of a terminal.
std::string UsageLine(const CommandRow& command, const std::string& lead) {
    std::vector<std::string> words;
    std::string sizes;
    for (const OptionRow& row : kOptions) {
        if ((row.commands & Bit(command.command)) == 0 || !row.in_usage) {
            continue;
        }
        if (IsPieceSize(row.id)) {
            sizes += (sizes.empty() ? "" : " | ") + UsageForm(row);
            continue;
        }
        if (!sizes.empty()) {
            words.push_back("[" + sizes + "]");
            sizes.clear();
        }
        words.push_back("[" + UsageForm(row) + "]");
    }
    words.push_back(command.operands);
    std::string text = lead + "tessarel " + command.word;
    size_t column = text.size();
    const size_t continued =
        lead.size() + std::string("tessarel ").size() + std::string(command.word).size() + 1;
    for (const std::string& word : words) {
        if (column + 1 + word.size() > 80) {
            text += "\n" + std::string(continued, ' ');
            column = continued;
        } else {
            text += " ";
            ++column;
        }
        text += word;
        column += word.size();
    }
    return text + "\n";
}

// Lines of text, the first after what is already on its line, the rest under column.
std::string Indented(const char* text, size_t column) {
    std::string out;
    for (const char* c = text; *c; ++c) {
        out += *c;
        if (*c == '\n') {
            out += std::string(column, ' ');
        }
    }
    return out;
}

// tessarel COMMAND --help: its usage line, what it does, its options, an example.
void PrintCommandHelp(const CommandRow& command, FILE* out) {
    std::fprintf(out, "%s\n%s\n", UsageLine(command, "Usage: ").c_str(), command.about);
    constexpr size_t kColumn = 30;
    for (const OptionRow& row : kOptions) {
        if ((row.commands & Bit(command.command)) == 0) {
            continue;
        }
        std::string names = row.short_name != 0
                                ? std::string("  -") + row.short_name + ", " + row.long_name
                                : std::string("      ") + row.long_name;
        if (row.value) {
            names += std::string(" ") + row.value;
        }
        std::fprintf(out, "%-*s%s\n", static_cast<int>(kColumn - 2), names.c_str(),
                     Indented(row.help, kColumn - 2).c_str());
    }
    std::fprintf(out, "\nExample: %s\n", command.example);
}

}  // namespace

const char kNoDisplay[] =
    "tessarel: there is no display to open the window on; for the command line, see "
    "'tessarel --help'.\n";

void PrintUsage(FILE* out) {
    std::fputs(
        "Usage:\n"
        "  tessarel [--split] [FILE]   opens the window, with FILE ready to split or join\n"
        "                              (with --split, ready to split even a piece)\n",
        out);
    for (const CommandRow& command : kCommands) {
        std::fputs(UsageLine(command, "  ").c_str(), out);
    }
    std::fputs("  tessarel --help | --version\n\n", out);
    for (const CommandRow& command : kCommands) {
        std::fprintf(out, "%-7s %s\n", command.word, Indented(command.summary, 8).c_str());
    }
    std::fputs(
        "--      ends the options: a name after it may start with '-'.\n"
        "\n"
        "tessarel COMMAND --help says how to use that command, with its options.\n"
        "Questions are asked on the terminal; without one, the answer is Cancel or No.\n"
        "Exit status: 0 done, 1 refused or failed, 2 a command line that cannot be\n"
        "understood; check: 3 when the series is not whole but its recovery pieces can\n"
        "rebuild it.\n",
        out);
}

void PrintUsageError(const std::string& error, const std::string& command, FILE* err) {
    std::fprintf(err, "tessarel: %s\nTry 'tessarel %s--help'.\n", error.c_str(),
                 FindCommand(command) ? (command + " ").c_str() : "");
}

namespace {

// The media --size takes, a line each.
void ListMediaSizes(FILE* out) {
    std::fputs("\nMedia sizes for -s (a piece that fits one of each):\n", out);
    for (int i = 0; i < kMediaSizeCount; ++i) {
        const MediaSize& m = kMediaSizes[i];
        std::fprintf(out, "  %-8s %15s bytes  %s\n", m.name, PlainNumber(m.bytes).c_str(),
                     m.caption);
    }
}

// Where the result goes: the name given, or inside a folder given, under the name it would
// have had beside the source, as cp does.
std::string Destination(const std::string& given, const std::string& default_name) {
    try {
        if (InfoOf(given).kind == PathInfo::Kind::kFolder) {
            return JoinPath(given, NameOf(default_name));
        }
    } catch (const RuntimeError&) {
        // Not a folder we can see into: the name is taken as the file's, and the request says
        // what is wrong with it.
    }
    return given;
}

// A failed write to standard output or error turns success into failure: a result that could
// not be told is not a result.
int Told(int status, const TerminalIo& io, FILE* out) {
    const bool out_failed = std::fflush(out) != 0 || std::ferror(out) != 0;
    const bool err_failed = std::fflush(io.err) != 0 || std::ferror(io.err) != 0;
    return status == kExitDone && (out_failed || err_failed) ? kExitFailed : status;
}

}  // namespace

bool SplitWanted(const std::vector<std::string>& args) {
    return !args.empty() && args.front() == "--split";
}

std::string FileToOpen(const std::vector<std::string>& args, const std::string& folder) {
    size_t first = SplitWanted(args) ? 1 : 0;
    if (first < args.size() && args[first] == "--") {
        ++first;
    }
    if (first >= args.size() || args[first].empty()) {
        return "";
    }
    const std::string& name = args[first];
    return IsAbsolute(name) ? name : JoinPath(folder, name);
}

bool IsCommandLineRun(const std::vector<std::string>& args) {
    if (args.empty()) {
        return false;
    }
    const std::string& first = args.front();
    if (FindCommand(first) || first == "--help" || first == "-h" || first == "--version") {
        return true;
    }
    if (first.empty() || first[0] == '-') {
        return false;  // the window's own options, or none
    }
    // A first word that names no file is a command mistyped: the command line says so, rather
    // than a window opening on a file that is not there.
    try {
        return !InfoOf(first).exists();
    } catch (const RuntimeError&) {
        return false;  // there, but not to be looked at: the window says what is wrong
    }
}

std::variant<CommandLine, std::string> ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        return std::string("no command given");
    }
    const std::string& word = args.front();
    if (word == "--help" || word == "-h") {
        line.command = Command::kHelp;
        return line;
    }
    if (word == "--version") {
        line.command = Command::kVersion;
        return line;
    }
    const CommandRow* command = FindCommand(word);
    if (!command) {
        std::string words;
        for (const CommandRow& row : kCommands) {
            words += (words.empty() ? "" : ", ") + std::string(row.word);
        }
        return "unknown command '" + word + "' (" + words + ")";
    }
    line.command = command->command;
    // COMMAND --help (or -h) among its options: how to use it, whatever else was given.
    for (size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            line.help = true;
            return line;
        }
    }
    bool options_ended = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.empty() || arg[0] != '-' || arg == "-") {
            line.names.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        // "--size N", "--size=N", "-s N" or "-sN".
        const bool long_form = arg[1] == '-';
        const size_t equals = long_form ? arg.find('=') : std::string::npos;
        const OptionRow* option = long_form ? FindOption(line.command, arg.substr(0, equals), 0)
                                            : FindOption(line.command, "", arg[1]);
        const bool attached = long_form ? equals != std::string::npos : arg.size() > 2;
        if (!option || (attached && !option->value)) {
            return "unknown option for " + word + ": " + arg;
        }
        const std::string name = option->long_name;
        std::string value;
        if (attached) {
            value = long_form ? arg.substr(equals + 1) : arg.substr(2);
        } else if (option->value && i + 1 < args.size()) {
            value = args[++i];
        }
        switch (option->id) {
            case OptionId::kHelp:
                break;
            case OptionId::kYes:
                line.yes = true;
                break;
            case OptionId::kNoChecksums:
                line.checksums = false;
                break;
            case OptionId::kNumbered:
                line.numbered = true;
                break;
            case OptionId::kNoVerify:
                line.verify = false;
                break;
            case OptionId::kVerifyWritten:
            case OptionId::kNoVerifyWritten:
                line.read_back = option->id == OptionId::kVerifyWritten;
                break;
            case OptionId::kFromMedium:
                line.from_medium = true;
                break;
            case OptionId::kRecovery: {
                const std::optional<RecoveryCount> count = ParseRecoveryCount(value);
                if (!count || value.empty()) {
                    return name +
                           " needs a number of recovery pieces, or a share of the pieces (10%), "
                           "not '" +
                           value + "'";
                }
                line.recovery = *count;
                break;
            }
            case OptionId::kSize:
            case OptionId::kKilobytes:
            case OptionId::kPieces: {
                if (line.size != CommandLine::Size::kDefault) {
                    return std::string("give one piece size only");
                }
                const CommandLine::Size size =
                    option->id == OptionId::kSize        ? CommandLine::Size::kBytes
                    : option->id == OptionId::kKilobytes ? CommandLine::Size::kKilobytes
                                                         : CommandLine::Size::kPieces;
                if (size == CommandLine::Size::kBytes) {
                    const std::optional<int64_t> bytes = ParseSizeText(value);
                    if (!bytes) {
                        return name + " needs a size: " + kSizeForms + "; not '" + value + "'";
                    }
                    value = std::to_string(*bytes);
                }
                if (!AllDigits(value, kMostDigits) ||
                    (size == CommandLine::Size::kPieces && std::stoll(value) == 0)) {
                    return name + " needs a whole number" +
                           (size == CommandLine::Size::kPieces ? " above 0" : "") + ", not '" +
                           value + "'";
                }
                if (size == CommandLine::Size::kKilobytes && std::stoll(value) > kMostKilobytes) {
                    return name + " needs a whole number of at most " +
                           std::to_string(kMostKilobytes) + ", not '" + value + "'";
                }
                line.size = size;
                line.size_value = value;
                break;
            }
        }
    }
    if (line.names.empty()) {
        return word + " needs the name of a file";
    }
    if (line.names.size() > command->most_names) {
        return "too many names for " + word + ": " + line.names[command->most_names];
    }
    for (std::string& name : line.names) {
        if (name.empty()) {
            return std::string("an empty name is no file's name");
        }
        name = InFolderForm(name);
    }
    return line;
}

namespace {

int Run(const std::vector<std::string>& args, const TerminalIo& io, FILE* out,
        bool progress_shown) {
    const auto parsed = ParseCommandLine(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        PrintUsageError(*error, args.empty() ? "" : args.front(), io.err);
        return kExitUsage;
    }
    CommandLine line = std::get<CommandLine>(parsed);
    if (line.help) {
        PrintCommandHelp(RowOf(line.command), out);
        if (line.command == Command::kSplit) {
            ListMediaSizes(out);
        }
        return kExitDone;
    }
    if (line.command != CommandLine::Command::kSplit && !line.names.empty()) {
        line.names[0] = FirstPieceFor(line.names[0]);
    }
    switch (line.command) {
        case CommandLine::Command::kHelp:
            PrintUsage(out);
            ListMediaSizes(out);
            return kExitDone;
        case CommandLine::Command::kVersion:
            std::fprintf(out, "tessarel %s\n", TESSAREL_VERSION);
            return kExitDone;
        case CommandLine::Command::kCheck:
            return RunCheck(line.names[0], io, out, line.from_medium, progress_shown);
        case CommandLine::Command::kRepair:
            return RunRepair(line.names[0], io, progress_shown);
        default:
            break;
    }
    const bool split = line.command == CommandLine::Command::kSplit;
    std::string default_name = line.names[0] + (line.numbered ? ".001" : kFirstPieceExtension);
    if (!split) {
        try {
            default_name = JoinOutputFor(line.names[0]);
        } catch (const RuntimeError&) {
            if (line.names.size() < 2) {
                PrintUsageError(
                    "the first piece has no extension to leave out; give the name of "
                    "the file to join into",
                    args.front(), io.err);
                return kExitUsage;
            }
        }
    }
    const std::string save =
        line.names.size() > 1 ? Destination(line.names[1], default_name) : default_name;
    TerminalProgress progress(io.err, progress_shown);
    TerminalMessageBox box(io, line.yes, &progress);
    // A stop asked for by a signal ends with its own status and word, nothing else.
    auto ended = [&](bool done) {
        if (!done && StopSignal() != 0) {
            progress.BreakLine();
            std::fprintf(io.err, "tessarel: stopped; nothing was changed\n");
            return StopStatus(StopSignal());
        }
        return done ? static_cast<int>(kExitDone) : static_cast<int>(kExitFailed);
    };
    if (!split) {
        JoinRequest join{line.names[0], save};
        join.verify = line.verify;
        join.say_uncompared = true;
        join.read_back = line.read_back;
        return ended(RunJoin(join, progress, box));
    }
    SplitRequest request;
    request.source = line.names[0];
    request.destination = save;
    request.checksums = line.checksums;
    request.recovery = line.recovery;
    request.read_back = line.read_back;
    request.numbered = line.numbered;
    switch (line.size) {
        case CommandLine::Size::kDefault:
            request.piece_size = ApproximateBytes(kDefaultPieceKilobytes);
            break;
        case CommandLine::Size::kKilobytes:
            request.piece_size = ApproximateBytes(line.size_value);
            break;
        case CommandLine::Size::kBytes:
            request.piece_size = std::stoll(line.size_value);
            break;
        case CommandLine::Size::kPieces:
            request.most_pieces = std::stoll(line.size_value);
            break;
    }
    return ended(RunSplit(request, progress, box));
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const TerminalIo& io, FILE* out,
                   bool progress_shown) {
    return Told(Run(args, io, out, progress_shown), io, out);
}

}  // namespace tessarel
