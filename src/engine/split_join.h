// The split/join operation: writes a whole series of pieces from one file, or reads a series
// back into the whole file, with the progress display running and every failing step put to
// the user through the disk-error handling.
#pragma once

#include <cstdint>
#include <string>

#include "engine/progress_display.h"
#include "platform/message_box.h"

namespace tessarel {

constexpr int32_t kChunkSize = 10000;

enum class Mode { kSplit, kJoin };

// InOption kSplit splits InOpenFile into the series whose first piece is InSaveFile; any other
// kJoin joins the series whose first piece is InOpenFile into InSaveFile. Insize is the stream
// length (file + header), InSplit the piece size, InTotalFiles the number of pieces. True when
// the operation ran to its end.
bool SplitJoin(const std::string& InOpenFile, const std::string& InSaveFile, Mode InOption,
               int64_t Insize, int64_t InSplit, int16_t InTotalFiles, ProgressDisplay& display,
               MessageBox& message_box);

// The bar's value for N stream bytes done: the whole part of N / Insize * 100.
float ProgressPercent(int64_t done, int64_t Insize);

}  // namespace tessarel
