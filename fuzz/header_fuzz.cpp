// A file taken for a first piece: recognising it and working out its series must never crash,
// and a series it describes must cover its stream exactly.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <variant>

#include "control/request_plan.h"
#include "engine/piece_series.h"
#include "platform/conversions.h"
#include "platform/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarel;
    const std::string piece(reinterpret_cast<const char*>(data), size);
    if (piece.size() > size_t{1} << 30) {
        return 0;
    }
    const auto piece_size = static_cast<int32_t>(piece.size());
    PlanOrRefusal outcome;
    try {
        // The join's own rule, as the Go command runs it on the first 20 bytes.
        outcome = PlanJoin(piece.substr(0, kWideHeaderLength), piece_size);
    } catch (const RuntimeError& e) {
        if (e.number() != kErrTypeMismatch && e.number() != kErrOverflow) {
            std::abort();
        }
        return 0;
    }
    const auto* plan = std::get_if<SeriesPlan>(&outcome);
    if (!plan) {
        return 0;  // refused as not recognisable
    }
    const int64_t stream = plan->stream_length;
    const int64_t count = plan->count;
    if (!HasSignature(piece) || plan->piece_size != piece_size || count < 2 ||
        count != PieceCount(stream, piece_size) || (count - 1) * piece_size >= stream ||
        count * piece_size < stream) {
        std::abort();
    }
    if (PieceLength(stream, piece_size, 1) != piece_size ||
        PieceLength(stream, piece_size, count) < 1 ||
        PieceLength(stream, piece_size, count) > piece_size) {
        std::abort();
    }
    if (HeaderText(static_cast<int32_t>(stream - kHeaderLength)).size() != 20u) {
        std::abort();
    }
    return 0;
}
