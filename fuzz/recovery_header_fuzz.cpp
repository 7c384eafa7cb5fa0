// A file taken for a recovery piece: its header and, after the row, its table and trailer. Reading
// them must never crash or take more memory than the bytes given, and what is read as ours must
// hold to the format's bounds.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/recovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarel;
    const auto header = ParseRecoveryHeader(data, size);
    if (!header) {
        return 0;
    }
    const int64_t k = header->data_pieces;
    const int64_t m = header->recovery_pieces;
    if (k < 2 || m < 1 || k + m > kMostCodedPieces || header->index >= m ||
        !header->plan().consistent() || header->stream_length > kMostCodedStream) {
        std::abort();
    }
    if (header->version == 2 &&
        (header->stripe_size != StripeSizeFor(header->piece_size, k) ||
         header->stripes() > kMostStripes || header->table_length() > (k + m) * kMostStripes * 8)) {
        std::abort();
    }
    // Written again, the header reads back the same.
    const std::vector<uint8_t> again = RecoveryHeaderBytes(*header);
    const auto reread = ParseRecoveryHeader(again.data(), again.size());
    if (!reread || !reread->SameCode(*header) || reread->index != header->index ||
        reread->recovery_pieces != header->recovery_pieces) {
        std::abort();
    }
    // The rest of the input taken for its table and trailer.
    const auto trailer = ParseRecoveryTrailer(*header, data + kRecoveryHeaderLength,
                                              size - size_t(kRecoveryHeaderLength));
    if (trailer) {
        if (trailer->table.rows != k + m || trailer->table.stripes != header->stripes() ||
            SeriesIdentity(*header, trailer->table) != trailer->identity) {
            std::abort();
        }
        const std::vector<uint8_t> bytes = RecoveryTrailerBytes(*header, trailer->table);
        if (!ParseRecoveryTrailer(*header, bytes.data(), bytes.size())) {
            std::abort();
        }
    }
    return 0;
}
