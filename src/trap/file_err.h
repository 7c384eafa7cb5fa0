// Turns the file or disk error that interrupted a step into a message for the user and a
// recovery code for the caller.
#pragma once

#include <cstdint>
#include <string>

#include "platform/message_box.h"

namespace tessarel {

enum FileErrCode : int16_t {
    FileErrRetry = 0,    // run the failed step again
    FileErrSkip = 1,     // go on with the step after it
    FileErrStop = 2,     // give the operation up
    FileErrUnknown = 3,  // not a file error we know: the caller reports it itself
};

// Shows at most one "Disk Error" message for error_number (about file, when known) and maps the
// answer to a code.
int16_t ClassifyFileError(int32_t error_number, MessageBox& message_box,
                          const std::string& file = "");

}  // namespace tessarel
