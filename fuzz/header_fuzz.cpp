// A file taken for a first piece: recognising it and working out its series must never crash,
// and a series it describes must cover its stream exactly.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/piece_series.h"
#include "platform/conversions.h"
#include "platform/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarel;
    const std::string piece(reinterpret_cast<const char*>(data), size);
    if (!HasSignature(piece) || piece.size() <= static_cast<size_t>(kHeaderLength)) {
        return 0;
    }
    int32_t length = 0;
    try {
        length = TextToInt32(piece.substr(kSignatureLength, kHeaderLength - kSignatureLength));
    } catch (const RuntimeError& e) {
        if (e.number() != kErrTypeMismatch && e.number() != kErrOverflow) {
            std::abort();
        }
        return 0;
    }
    const int64_t stream = int64_t{length} + kHeaderLength;
    const auto piece_size = static_cast<int64_t>(piece.size());
    if (length < 0 || stream <= piece_size) {
        return 0;  // refused as not recognisable
    }
    const int64_t count = PieceCount(stream, piece_size);
    if (count < 2 || (count - 1) * piece_size >= stream || count * piece_size < stream) {
        std::abort();
    }
    if (PieceLength(stream, piece_size, 1) != piece_size ||
        PieceLength(stream, piece_size, count) < 1 ||
        PieceLength(stream, piece_size, count) > piece_size) {
        std::abort();
    }
    if (length <= kMaxSourceLength && HeaderText(length).size() != 20u) {
        std::abort();
    }
    return 0;
}
