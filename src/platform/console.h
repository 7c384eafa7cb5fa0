// The process's standard streams as the command line meets them.
#pragma once

namespace tessarel {

enum class Stream { kInput, kOutput, kError };

// True when the stream is a terminal a person types at or reads.
bool IsTerminal(Stream stream);

// A standard stream the program was started without (closed, as with 2>&-) is opened on the
// null device, so that no file the program opens later takes its number and receives what was
// meant for the stream.
void OpenMissingStandardStreams();

}  // namespace tessarel
