// The process's standard streams as the command line meets them.
#pragma once

namespace tessarel {

enum class Stream { kInput, kOutput, kError };

// True when the stream is a terminal a person types at or reads.
bool IsTerminal(Stream stream);

}  // namespace tessarel
