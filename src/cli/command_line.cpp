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

const char kUsageText[] =
    "Usage:\n"
    "  tessarel [--split] [FILE]        open the window, with FILE ready to split or join\n"
    "                                   (with --split, ready to split even a piece)\n"
    "  tessarel split [-s SIZE | -k N | -n N] [-r N|N%] [-y] [--no-checksums] [--numbered] SOURCE\n"
    "                 [FIRST_PIECE]\n"
    "  tessarel join [-y] [--no-verify] FIRST_PIECE [OUTPUT]\n"
    "  tessarel check [--from-medium] FIRST_PIECE\n"
    "  tessarel repair FIRST_PIECE\n"
    "  tessarel --help | --version\n"
    "\n"
    "split   cuts SOURCE into pieces FIRST_PIECE (SOURCE.m00 unless given), .m01, ...\n"
    "        Piece size: -s/--size SIZE in bytes, with a unit (25M, 4GiB, 100KB: K M G T\n"
    "        count 1024, KB MB GB TB 1000) or a medium's name (--help lists them); -k/--kb N in\n"
    "        kilobytes of 1024 bytes; or -n/--pieces N: the smallest size that makes at\n"
    "        most N pieces. Without one, 1400 KB.\n"
    "        -r/--recovery N (or N% of the pieces) also writes N recovery pieces (.r00, ...):\n"
    "        any N lost or damaged pieces can then be rebuilt from them.\n"
    "join    rebuilds the file from the series whose first piece is FIRST_PIECE, into\n"
    "        OUTPUT (the first piece's name without its extension unless given); also a\n"
    "        numbered set of other tools from any member (NAME.001, NAME.aa, x00, NAME.0).\n"
    "check   reads every piece of a series through, compares it with the series' checksum\n"
    "        list, and says what it found; writes nothing.\n"
    "repair  rebuilds lost or damaged pieces from the recovery pieces, in their places.\n"
    "-y, --yes  replaces existing files, and goes on when the disk looks too small, without\n"
    "           asking.\n"
    "--no-checksums  writes no checksum list (BASE.sha256) beside the pieces.\n"
    "--no-verify     joins without comparing the pieces with their checksum list.\n"
    "--verify-written, --no-verify-written  reads what was written back from the medium,\n"
    "                past the system's cache (or not); by default on removable media.\n"
    "--      ends the options: a name after it may start with '-'.\n"
    "COMMAND --help  says how to use that command.\n"
    "\n"
    "Questions are asked on the terminal; without one, the answer is Cancel or No.\n"
    "Exit status: 0 done, 1 refused or failed, 2 a command line that cannot be understood;\n"
    "check: 3 when the series is not whole but its recovery pieces can rebuild it.\n";

namespace {

// A number of more digits than this may not fit in 64 bits.
constexpr size_t kMostDigits = 18;

// How to use one command: what `tessarel COMMAND --help` says.
const char kSplitHelp[] =
    "Usage: tessarel split [-s SIZE | -k N | -n N] [-y] [--no-checksums] SOURCE [FIRST_PIECE]\n"
    "\n"
    "Cuts SOURCE into the pieces FIRST_PIECE (SOURCE.m00 unless given), .m01, ..., and\n"
    "writes their checksum list BASE.sha256 beside them. A folder as FIRST_PIECE means\n"
    "the pieces go into it. At most 100 pieces, of a file as large as the file system\n"
    "holds; one over 9999999999 bytes gets a first piece with a wide header.\n"
    "\n"
    "  -s, --size SIZE  piece size in bytes, with a unit (25M, 4GiB, 100KB: K M G T\n"
    "                   count 1024, KB MB GB TB 1000) or a medium's name (below)\n"
    "  -k, --kb N       piece size in kilobytes of 1024 bytes; 1400 without a size\n"
    "  -n, --pieces N   the smallest piece size that makes at most N pieces\n"
    "  -r, --recovery N also writes N recovery pieces (BASE.r00, ...), or N% of the\n"
    "                   pieces: any N lost or damaged pieces can be rebuilt from them\n"
    "  -y, --yes        replaces existing pieces, and goes on when the disk looks\n"
    "                   too small, without asking\n"
    "  --no-checksums   writes no checksum list\n"
    "  --numbered       writes plain numbered pieces, SOURCE.001, .002, ..., with no\n"
    "                   header: cat, copy /b and common archivers join them\n"
    "  --verify-written reads the pieces back from the medium, past the system's cache,\n"
    "                   before they take their names (by default on removable media;\n"
    "                   --no-verify-written: never)\n"
    "\n"
    "Example: tessarel split -s fat32 -r 10% film.mkv\n";
const char kJoinHelp[] =
    "Usage: tessarel join [-y] [--no-verify] FIRST_PIECE [OUTPUT]\n"
    "\n"
    "Rebuilds the file from the series whose first piece is FIRST_PIECE, into OUTPUT\n"
    "(the first piece's name without its extension unless given; a folder means the\n"
    "file goes into it). Every piece is looked at first, and compared with the series'\n"
    "checksum list while it is read; nothing is written when one is missing or damaged,\n"
    "unless recovery pieces beside it can rebuild it: then it is rebuilt, and said.\n"
    "\n"
    "  -y, --yes        replaces an existing file, and goes on when the disk looks too\n"
    "                   small, without asking\n"
    "  --no-verify      joins without comparing the pieces with their checksum list\n"
    "  --verify-written reads OUTPUT back from its medium before it takes its name (by\n"
    "                   default on removable media; --no-verify-written: never)\n"
    "\n"
    "Example: tessarel join film.mkv.m00\n";
const char kRepairHelp[] =
    "Usage: tessarel repair FIRST_PIECE\n"
    "\n"
    "Rebuilds the pieces and recovery pieces of the series whose first piece is\n"
    "FIRST_PIECE that are missing, short, unreadable or damaged (by the checksum list),\n"
    "from the others, and puts them in their places, all at once or not at all.\n"
    "Refuses, naming them, when too many are lost for the recovery pieces there.\n"
    "\n"
    "Example: tessarel repair film.mkv.m00\n";
const char kCheckHelp[] =
    "Usage: tessarel check [--from-medium] FIRST_PIECE\n"
    "\n"
    "Reads every piece and recovery piece of the series whose first piece is FIRST_PIECE,\n"
    "compares them with the series' checksum list, and says what it found and what the\n"
    "recovery pieces can rebuild; writes nothing. Exit status 0 when every piece is as\n"
    "its series says and no file of the series' name follows its last piece, 3 when it\n"
    "is not but the recovery pieces can rebuild it (tessarel repair), 1 otherwise.\n"
    "\n"
    "  --from-medium    reads the pieces from their medium, past the system's cache\n"
    "\n"
    "Example: tessarel check film.mkv.m00\n";

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
    return first == "split" || first == "join" || first == "check" || first == "repair" ||
           first == "--help" || first == "-h" || first == "--version";
}

std::variant<CommandLine, std::string> ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        return std::string("no command given");
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h") {
        line.command = CommandLine::Command::kHelp;
        return line;
    }
    if (command == "--version") {
        line.command = CommandLine::Command::kVersion;
        return line;
    }
    if (command == "split") {
        line.command = CommandLine::Command::kSplit;
    } else if (command == "join") {
        line.command = CommandLine::Command::kJoin;
    } else if (command == "check") {
        line.command = CommandLine::Command::kCheck;
    } else if (command == "repair") {
        line.command = CommandLine::Command::kRepair;
    } else {
        return "unknown command: " + command;
    }
    // COMMAND --help (or -h) among its options: how to use it, whatever else was given.
    for (size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            line.help = true;
            return line;
        }
    }
    const bool split = line.command == CommandLine::Command::kSplit;
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
        const bool reads_only = line.command == CommandLine::Command::kCheck ||
                                line.command == CommandLine::Command::kRepair;
        if ((arg == "--yes" || arg == "-y") && !reads_only) {
            line.yes = true;
            continue;
        }
        if (arg == "--no-checksums" && split) {
            line.checksums = false;
            continue;
        }
        if (arg == "--numbered" && split) {
            line.numbered = true;
            continue;
        }
        if (arg == "--no-verify" && line.command == CommandLine::Command::kJoin) {
            line.verify = false;
            continue;
        }
        if ((arg == "--verify-written" || arg == "--no-verify-written") &&
            (split || line.command == CommandLine::Command::kJoin)) {
            line.read_back = arg == "--verify-written";
            continue;
        }
        if (arg == "--from-medium" && line.command == CommandLine::Command::kCheck) {
            line.from_medium = true;
            continue;
        }
        // A size option, as "--size N" or "--size=N", or its short form "-s N".
        const size_t equals = arg.find('=');
        if (split && (arg == "-r" || arg.substr(0, equals) == "--recovery")) {
            std::string value = equals != std::string::npos ? arg.substr(equals + 1)
                                : i + 1 < args.size()       ? args[++i]
                                                            : std::string();
            const std::optional<RecoveryCount> count = ParseRecoveryCount(value);
            if (!count || value.empty()) {
                return "--recovery needs a number of recovery pieces, or a share of the pieces "
                       "(10%), not '" +
                       value + "'";
            }
            line.recovery = *count;
            continue;
        }
        std::string option = arg.substr(0, equals);
        static const std::pair<const char*, const char*> kShortForms[] = {
            {"-s", "--size"}, {"-k", "--kb"}, {"-n", "--pieces"}};
        for (const auto& [short_form, long_form] : kShortForms) {
            if (arg == short_form) {
                option = long_form;
            }
        }
        CommandLine::Size size = CommandLine::Size::kDefault;
        if (split && option == "--size") {
            size = CommandLine::Size::kBytes;
        } else if (split && option == "--kb") {
            size = CommandLine::Size::kKilobytes;
        } else if (split && option == "--pieces") {
            size = CommandLine::Size::kPieces;
        } else {
            return "unknown option for " + command + ": " + arg;
        }
        if (line.size != CommandLine::Size::kDefault) {
            return std::string("give one piece size only");
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }
        if (size == CommandLine::Size::kBytes) {
            const std::optional<int64_t> bytes = ParseSizeText(value);
            if (!bytes) {
                return option + " needs a size: " + kSizeForms + "; not '" + value + "'";
            }
            value = std::to_string(*bytes);
        }
        if (!AllDigits(value, kMostDigits) ||
            (size == CommandLine::Size::kPieces && std::stoll(value) == 0)) {
            return option + " needs a whole number" +
                   (size == CommandLine::Size::kPieces ? " above 0" : "") + ", not '" + value + "'";
        }
        if (size == CommandLine::Size::kKilobytes && std::stoll(value) > kMostKilobytes) {
            return option + " needs a whole number of at most " + std::to_string(kMostKilobytes) +
                   ", not '" + value + "'";
        }
        line.size = size;
        line.size_value = value;
    }
    const size_t most = line.command == CommandLine::Command::kCheck ||
                                line.command == CommandLine::Command::kRepair
                            ? 1
                            : 2;
    if (line.names.empty()) {
        return command + " needs the name of a file";
    }
    if (line.names.size() > most) {
        return "too many names for " + command + ": " + line.names[most];
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
        std::fprintf(io.err, "tessarel: %s\n%s", error->c_str(), kUsageText);
        return kExitUsage;
    }
    CommandLine line = std::get<CommandLine>(parsed);
    if (line.help) {
        switch (line.command) {
            case CommandLine::Command::kSplit:
                std::fputs(kSplitHelp, out);
                ListMediaSizes(out);
                break;
            case CommandLine::Command::kJoin:
                std::fputs(kJoinHelp, out);
                break;
            case CommandLine::Command::kRepair:
                std::fputs(kRepairHelp, out);
                break;
            default:
                std::fputs(kCheckHelp, out);
                break;
        }
        return kExitDone;
    }
    if (line.command != CommandLine::Command::kSplit && !line.names.empty()) {
        line.names[0] = FirstPieceFor(line.names[0]);
    }
    switch (line.command) {
        case CommandLine::Command::kHelp:
            std::fputs(kUsageText, out);
            ListMediaSizes(out);
            return kExitDone;
        case CommandLine::Command::kVersion:
            std::fprintf(out, "tessarel %s\n", TESSAREL_VERSION);
            return kExitDone;
        case CommandLine::Command::kCheck:
            return RunCheck(line.names[0], io, out, line.from_medium);
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
                std::fprintf(io.err,
                             "tessarel: the first piece has no extension to leave out; give "
                             "the name of the file to join into\n%s",
                             kUsageText);
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
