// A join's own steps: the pieces read into the output, their digests compared with the
// checksum list, then the commit.
#include "engine/checksums.h"
#include "engine/series_copy.h"

namespace tessarel {

void SeriesCopy::CompareChecksums() {
    const SeriesDigests& found = digests_;
    const SeriesDigests& expected = *plan_.expected;
    if (plan_.damage_is_rebuilt && found.pieces != expected.pieces) {
        throw Damaged{};
    }
    Do([&] {
        for (size_t n = 0; n < expected.pieces.size(); ++n) {
            if (n >= found.pieces.size() || found.pieces[n] != expected.pieces[n]) {
                throw RuntimeError(kErrPieceDamaged, ErrorDescription(kErrPieceDamaged),
                                   names_[static_cast<int64_t>(n) + 1]);
            }
        }
        if (expected.whole_proves() && found.whole != expected.whole) {
            throw RuntimeError(kErrJoinedDiffers, ErrorDescription(kErrJoinedDiffers),
                               ChecksumListName(plan_.first_piece));
        }
    });
}

void SeriesCopy::Join() {
    Do([&] { MakeBuffers(); });
    Do([&] { names_ = plan_.names ? *plan_.names : SeriesNames(plan_.first_piece); });
    ShowOperating();

    // The output is written beside the destination and takes its name only when it is whole.
    Do([&] {
        permissions_ = plan_.permissions ? *plan_.permissions : AccessOf(plan_.first_piece);
    });
    OpenTemporary(whole_, plan_.whole);
    piece_ = TakePiece(1);
    if (plan_.expected || plan_.read_back) {
        // Pieces that match their lines are the bytes the list describes: the whole file's
        // digest is worked out only when the list has nothing else to prove it by, or when the
        // output is read back from its medium.
        const bool whole = !plan_.expected || plan_.expected->whole_proves();
        hashes_ =
            std::make_unique<HashPipeline>(plan_.expected && !whole, whole || plan_.read_back);
    }
    std::vector<uint8_t> header(static_cast<size_t>(header_));
    Do([&] { piece_.Read(header.data(), header_); });
    Hash(header.data(), header_, false);
    CopyFirstPiece(piece_, whole_);
    Do([&] { piece_.Close(); });
    SetProgress(split_);

    LaterPieces(false);
    // The flush waits for the disk while the hashing catches up; only then are the digests
    // compared, before anything takes the output's name.
    Do([&] { whole_.Sync(); });
    if (hashes_) {
        digests_ = hashes_->Finish();
    }
    if (plan_.expected) {
        CompareChecksums();
    }
    const std::string written = whole_.path();
    Do([&] { whole_.Close(); });
    if (plan_.read_back && digests_.whole) {
        ReadBack({{written, plan_.whole, *digests_.whole}});
    }
    PutInPlace();
    Do([&] { display_.SetProgress(100); });
}

}  // namespace tessarel
