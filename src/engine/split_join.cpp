#include "engine/split_join.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "engine/commit.h"
#include "engine/hash_pipeline.h"
#include "engine/piece_series.h"
#include "engine/recovery.h"
#include "engine/series_recovery.h"
#include "engine/series_check.h"
#include "fileutil/error_trap.h"
#include "fileutil/my_library.h"
#include "platform/conversions.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

float ProgressPercent(int64_t done, int64_t Insize) {
    return static_cast<float>(std::floor(static_cast<double>(done) / Insize * 100.0));
}

namespace {

// The permission bits results take from the file they come from (as cp gives them).
uint32_t AccessOf(const std::string& path) {
    const uint32_t bits = InfoOf(path).permissions;
    return bits != 0 ? bits : 0666;
}

constexpr int32_t kFirstBlock = kChunkSize - kHeaderLength;  // header + first block = one chunk

// Thrown by a step when the user has asked the operation to stop.
struct Stopped {};
// Thrown when a join's piece differs from its line and the caller will rebuild it.
struct Damaged {};

// Bytes of finished pieces that may still be on their way to the disk.
constexpr int64_t kMostUnwaited = int64_t{32} << 20;
// Runs of whole chunks move a quarter of a megabyte at a time: the cost of a system call per
// 10000 bytes would otherwise hold the copy to a fraction of what the disk can do, and a run
// is still in the cache when its digests are worked out from the same buffer.
constexpr int32_t kBatchChunks = 25;
static_assert(size_t(kBatchChunks) * kChunkSize <= HashPipeline::kBufferBytes,
              "a run fits a buffer of the hashing");

// How the stream is cut into reads and writes: full chunks and a remainder per piece, and the
// same for a short last piece.
struct ChunkPlan {
    // Lengths are 64-bit: a stream goes up to ten digits, and no count times a size may wrap.
    int64_t chunks_per_piece = 0;
    int64_t piece_remainder = 0;
    int64_t last_length = 0;  // 0 when the stream is a whole number of pieces
    int64_t last_chunks = 0;
    int64_t last_remainder = 0;
    int64_t full_pieces = 0;  // F

    explicit ChunkPlan(const SeriesPlan& series)
        : chunks_per_piece(series.piece_size / kChunkSize),
          piece_remainder(series.piece_size % kChunkSize),
          last_length(series.stream_length % series.piece_size),
          last_chunks(last_length / kChunkSize),
          last_remainder(last_length % kChunkSize),
          full_pieces(last_length == 0 ? series.count : series.count - 1) {}
};

class Operation {
  public:
    // The plan is consistent (SplitJoin checked it), so no division below is by 0.
    Operation(const OperationPlan& plan, ProgressDisplay& display, MessageBox& box)
        : plan_(plan),
          size_(plan.series.stream_length),
          split_(plan.series.piece_size),
          total_(plan.series.count),
          chunks_(plan.series),
          display_(display),
          trap_(box),
          commit_(plan.mode == Mode::kSplit ? plan.first_piece : plan.whole) {}

    void Split();
    void Join();

    // Every way out: close what is open; when the operation did not run to its end, remove what
    // it wrote, so the disk is as it was before; then put the display back to idle.
    void Finish() {
        whole_ = File();
        piece_ = File();
        written_.clear();
        commit_.Abandon();
        display_.ShowIdle();
    }
    bool committed() const { return commit_.done(); }

  private:
    template <typename F>
    void Do(F&& step) {
        // Once the result has its name the operation is done, whatever is asked of it.
        if (!commit_.done() && display_.StopRequested()) {
            throw Stopped{};
        }
        trap_.Must(step);
    }

    void MakeBuffers();
    void ShowOperating();
    void ShowPiece(int64_t k);
    void SetProgress(int64_t done) {
        Do([&] {
            display_.SetProgress(ProgressPercent(done, size_));
            display_.ShowBytes(done, size_);
        });
    }
    // Moves one block: read from `from`, then write to `to`, each a step of its own.
    void CopyBlock(File& from, File& to, std::vector<uint8_t>& buffer) {
        const auto length = static_cast<int32_t>(buffer.size());
        Do([&] { from.Read(buffer.data(), length); });
        Do([&] { to.Write(buffer.data(), length); });
        Hash(buffer.data(), length);
    }
    // Bytes of the current piece that have been moved, for its checksum and the whole file's.
    void Hash(const uint8_t* data, int32_t size, bool whole = true) {
        if (hashes_) {
            hashes_->Add(piece_number_, data, static_cast<size_t>(size), whole);
        }
    }
    // The checksum list of a split, put beside the pieces before the first piece is.
    void WriteChecksumList();
    // A split's recovery pieces, worked out from its pieces once they are all written.
    void WriteRecoveryPieces();
    // True when a file has the series' list's name (a name too long to exist has none).
    bool ListExists() const {
        try {
            return InfoOf(list_name_, false).exists();
        } catch (const RuntimeError& error) {
            if (error.number() == kErrBadFileName) {
                return false;
            }
            throw;
        }
    }
    // A join's pieces and whole file against the list; the first that differs gives it up.
    void CompareChecksums();
    // The data of piece 1 after its header: the first block, further chunks, the remainder.
    void CopyFirstPiece(File& from, File& to);
    // The data of a later full piece, or of the short last piece.
    void CopyPiece(File& from, File& to, int64_t k, int64_t chunks, std::vector<uint8_t>& rest);
    // A written piece goes out to the disk at once, but is flushed and closed only when every
    // piece is written: the pieces then share one commit of the file system's journal instead
    // of waiting for one each, which would make a split of many pieces far slower than a copy.
    void FinishWrittenPiece() {
        Do([&] { piece_.StartWriteback(); });
        written_.push_back(std::move(piece_));
        // What is on its way to the disk stays within a few seconds' worth of a slow medium, so
        // no single wait (here, or the final flush) keeps a stop waiting long.
        int64_t unwaited = 0;
        for (const File& piece : written_) {
            unwaited += piece.Position() - piece.WaitedFor();
        }
        for (File& piece : written_) {
            if (unwaited <= kMostUnwaited) {
                break;
            }
            const int64_t before = piece.WaitedFor();
            Do([&] { piece.WaitForWriteback(); });
            unwaited -= piece.WaitedFor() - before;
        }
    }
    void FlushWrittenPieces() {
        for (File& piece : written_) {
            Do([&] { piece.Sync(); });
            Do([&] { piece.Close(); });
        }
        written_.clear();
    }
    // Pieces 2 to the last, written from the source (split) or read into the output (join).
    void LaterPieces(bool split);
    // Opens a result under a temporary name beside its final one, with the access its file
    // of origin has.
    void OpenTemporary(File& file, const std::string& final_name) {
        Do([&] { file = commit_.Create(final_name, permissions_); });
    }
    // Puts every result in its place: the commit. A stop asked for meanwhile waits for it (it
    // is renames and flushes); a failure moves everything back.
    void PutInPlace() {
        commit_.Run([&](const std::function<void()>& step) { trap_.Must(step); });
    }
    // A join's piece n, as the check left it open, or opened again by name.
    File TakePiece(int64_t n) {
        if (plan_.open_pieces && size_t(n) <= plan_.open_pieces->size() &&
            (*plan_.open_pieces)[size_t(n) - 1].IsOpen()) {
            return std::move((*plan_.open_pieces)[size_t(n) - 1]);
        }
        File piece;
        Do([&] { piece = File::OpenForReading(names_[n], false); });
        return piece;
    }
    // A split's source must be as it was planned when its last byte has been read: a file that
    // grew or was rewritten meanwhile would give a series of neither version.
    void CheckSourceUnchanged();
    // Full chunks j = first to last, the progress set to base + j * 10000 after each.
    void CopyChunks(File& from, File& to, int64_t first, int64_t last, int64_t base);
    // Moves count chunks with one read and one write; false when the read failed and nothing
    // moved. Any failure falls back to the chunk-by-chunk steps, so what the user is asked and
    // what ends up on disk is the same as if every chunk had gone alone.
    bool CopyBatch(File& from, File& to, int64_t j, int32_t count, int64_t base);

    const OperationPlan& plan_;
    int64_t size_;   // Insize: the stream's length
    int64_t split_;  // InSplit: the piece size
    int64_t total_;  // InTotalFiles: the count of pieces
    ChunkPlan chunks_;
    ProgressDisplay& display_;
    ErrorTrap trap_;

    std::vector<uint8_t> chunk_;
    std::vector<uint8_t> batch_;
    std::vector<uint8_t> piece_rest_;
    std::vector<uint8_t> last_rest_;
    std::vector<uint8_t> first_block_;
    SeriesNames names_;
    File whole_;  // the source of a split, the output of a join
    File piece_;
    std::vector<File> written_;             // pieces written and not yet flushed (at most 100)
    Commit commit_;                         // every file written, and the way they take their names
    uint32_t permissions_ = 0666;           // of the results: those of the file they come from
    std::unique_ptr<HashPipeline> hashes_;  // when the series' checksums are worked out
    int64_t piece_number_ = 1;              // the piece being moved
    std::string list_name_;                 // the series' checksum list
    std::vector<std::string> written_names_;  // a split's pieces, where they are written
    std::vector<Digest> recovery_digests_;    // of its recovery pieces, for the list
};

void Operation::MakeBuffers() {
    const ChunkPlan& plan = chunks_;
    chunk_.resize(kChunkSize);
    if (plan.chunks_per_piece > 1 || plan.last_chunks > 1) {
        batch_.resize(size_t(kBatchChunks) * kChunkSize);
    }
    piece_rest_.resize(static_cast<size_t>(plan.piece_remainder));
    last_rest_.resize(static_cast<size_t>(plan.last_remainder));
    first_block_.resize(
        static_cast<size_t>(plan.chunks_per_piece == 0 ? split_ - kHeaderLength : kFirstBlock));
}

void Operation::ShowOperating() {
    Do([&] { display_.ShowOperating(); });
    ShowPiece(1);
}

void Operation::ShowPiece(int64_t k) {
    Do([&] { display_.ShowPiece(k); });
}

void Operation::CopyFirstPiece(File& from, File& to) {
    const ChunkPlan& plan = chunks_;
    CopyBlock(from, to, first_block_);
    if (plan.chunks_per_piece == 0) {
        return;  // the first block was the whole piece
    }
    CopyChunks(from, to, 2, plan.chunks_per_piece, 0);
    if (plan.piece_remainder != 0) {
        CopyBlock(from, to, piece_rest_);
    }
}

void Operation::CopyPiece(File& from, File& to, int64_t k, int64_t chunks,
                          std::vector<uint8_t>& rest) {
    CopyChunks(from, to, 1, chunks, (k - 1) * split_);
    if (!rest.empty()) {
        CopyBlock(from, to, rest);
    }
}

void Operation::CopyChunks(File& from, File& to, int64_t first, int64_t last, int64_t base) {
    int64_t j = first;
    while (j <= last) {
        const auto batch = static_cast<int32_t>(std::min<int64_t>(kBatchChunks, last - j + 1));
        if (batch > 1 && CopyBatch(from, to, j, batch, base)) {
            j += batch;
            continue;
        }
        Do([&] { from.Read(chunk_.data(), kChunkSize); });
        Do([&] { to.Write(chunk_.data(), kChunkSize); });
        Hash(chunk_.data(), kChunkSize);
        SetProgress(base + j * kChunkSize);
        ++j;
    }
}

bool Operation::CopyBatch(File& from, File& to, int64_t j, int32_t count, int64_t base) {
    const int32_t bytes = count * kChunkSize;
    // With checksums the run is read into a buffer of the hashing, which works its digests out
    // from the same bytes once they are written: no copy of them is made.
    struct Run {
        HashPipeline* hashes;
        uint8_t* buffer;
        bool handed = false;
        ~Run() {
            if (hashes && !handed) {
                hashes->Return(buffer);
            }
        }
    } run{hashes_.get(), hashes_ ? hashes_->Acquire() : batch_.data()};
    try {
        from.Read(run.buffer, bytes);
    } catch (const RuntimeError&) {
        return false;  // nothing was taken: the chunks go one by one, each failure its own step
    }
    bool written = true;
    try {
        to.Write(run.buffer, bytes);
    } catch (const RuntimeError&) {
        written = false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!written) {
            // The run was read, so its chunks are written from it one by one, starting where
            // the failed write began.
            const uint8_t* chunk = run.buffer + size_t(i) * kChunkSize;
            Do([&] { to.Write(chunk, kChunkSize); });
        }
        SetProgress(base + (j + i) * kChunkSize);
    }
    if (run.hashes) {
        run.hashes->Submit(run.buffer, size_t(bytes), piece_number_, true);
        run.handed = true;
    }
    return true;
}

void Operation::LaterPieces(bool split) {
    const ChunkPlan& plan = chunks_;
    auto piece = [&](int64_t k, int64_t chunks, std::vector<uint8_t>& rest) {
        ShowPiece(k);
        piece_number_ = k;
        const std::string name = names_[k];
        if (split) {
            // Beside its name: an older file of the name stays as it is until the whole new
            // series is written.
            OpenTemporary(piece_, name);
            written_names_.push_back(piece_.path());
            CopyPiece(whole_, piece_, k, chunks, rest);
            FinishWrittenPiece();
        } else {
            // Pieces are only read: a missing one is an error, never an empty file made up.
            // Only the planned bytes are read; a longer piece was the user's choice.
            piece_ = TakePiece(k);
            CopyPiece(piece_, whole_, k, chunks, rest);
            Do([&] { piece_.Close(); });
        }
    };
    for (int64_t k = 2; k <= plan.full_pieces; ++k) {
        piece(k, plan.chunks_per_piece, piece_rest_);
        SetProgress(k * split_);
    }
    if (plan.last_length != 0) {
        piece(total_, plan.last_chunks, last_rest_);
    }
}

void Operation::CheckSourceUnchanged() {
    Do([&] {
        const PathInfo now = InfoOf(plan_.whole);
        if (now.size != plan_.series.source_length() ||
            (plan_.source_modified != 0 && now.modified != plan_.source_modified)) {
            throw RuntimeError(kErrSourceChanged, ErrorDescription(kErrSourceChanged), plan_.whole);
        }
    });
}

void Operation::WriteChecksumList() {
    const SeriesDigests digests = hashes_->Finish();
    File list;
    std::string text;
    Do([&] {
        SeriesDigests listed = digests;
        listed.recovery = recovery_digests_;
        text = ChecksumListText(listed, names_);
    });
    OpenTemporary(list, list_name_);
    Do([&] { list.Write(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size())); });
    Do([&] { list.Sync(); });
    Do([&] { list.Close(); });
}

void Operation::WriteRecoveryPieces() {
    const int m = plan_.recovery_pieces;
    std::vector<File> pieces(written_names_.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        Do([&] { pieces[i] = File::OpenForReading(written_names_[i]); });
    }
    std::vector<File> recovery(static_cast<size_t>(m));
    std::vector<Sha256> sums(static_cast<size_t>(m));
    for (int j = 0; j < m; ++j) {
        File& file = recovery[size_t(j)];
        OpenTemporary(file, RecoveryPieceName(names_, j));
        const std::vector<uint8_t> header =
            RecoveryHeaderBytes({static_cast<int>(total_), m, j, split_, size_});
        Do([&] { file.Write(header.data(), kRecoveryHeaderLength); });
        sums[size_t(j)].Update(header.data(), header.size());
    }
    std::vector<File*> in;
    std::vector<File*> out;
    std::vector<Sha256*> hashes;
    for (File& file : pieces) {
        in.push_back(&file);
    }
    for (int j = 0; j < m; ++j) {
        out.push_back(&recovery[size_t(j)]);
        hashes.push_back(&sums[size_t(j)]);
    }
    RecoveryCoder(plan_.series, m).Encode(in, out, hashes, [&](const std::function<void()>& step) {
        Do(step);
    });
    for (int j = 0; j < m; ++j) {
        Do([&] { recovery[size_t(j)].StartWriteback(); });
        written_.push_back(std::move(recovery[size_t(j)]));  // flushed with the pieces
        recovery_digests_.push_back(sums[size_t(j)].Finish());
    }
}

void Operation::CompareChecksums() {
    const SeriesDigests found = hashes_->Finish();
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

void Operation::Split() {
    std::string header;
    Do([&] { header = HeaderText(size_ - kHeaderLength); });
    Do([&] { MakeBuffers(); });
    Do([&] {
        names_ = SeriesNames(plan_.first_piece);
        list_name_ = ChecksumListName(plan_.first_piece);
    });
    ShowOperating();

    // The source is only read: a missing one must not be created.
    Do([&] { whole_ = File::OpenForReading(plan_.whole); });
    Do([&] { permissions_ = AccessOf(plan_.whole); });
    // The first piece is what makes a series: it takes its name only once every piece is
    // written and flushed.
    OpenTemporary(piece_, plan_.first_piece);
    written_names_.push_back(piece_.path());
    if (plan_.write_checksums) {
        hashes_ = std::make_unique<HashPipeline>(true, true);
    }
    for (size_t i = 0; i < header.size(); ++i) {
        const auto byte = static_cast<uint8_t>(header[i]);
        Do([&] { piece_.Write(&byte, 1); });
        Hash(&byte, 1, false);  // the header is the first piece's, not the file's
    }
    CopyFirstPiece(whole_, piece_);
    FinishWrittenPiece();
    SetProgress(split_);

    LaterPieces(true);
    CheckSourceUnchanged();
    // The recovery pieces are worked out while the pieces are still on their way to the disk,
    // and all are flushed together: one wait for the disk, not two.
    if (plan_.recovery_pieces > 0) {
        WriteRecoveryPieces();
    }
    FlushWrittenPieces();
    if (hashes_) {
        WriteChecksumList();
    }
    // Until here the disk is as it was. An older list this split does not replace would call
    // the new pieces damaged, and an older series' pieces after the new last one would be taken
    // for this series' by a reader: they go with the commit.
    Do([&] {
        if (!plan_.write_checksums && ListExists()) {
            commit_.Remove(list_name_);
        }
        for (const std::string& name : FilesAfterSeries(plan_.first_piece, total_)) {
            commit_.Remove(name);
        }
        // So would an older series' recovery pieces this split does not write again.
        for (int j = plan_.recovery_pieces; RecoveryPieceNamed(names_, j); ++j) {
            commit_.Remove(RecoveryPieceName(names_, j));
        }
    });
    PutInPlace();
    Do([&] { display_.SetProgress(100); });
    Do([&] { whole_.Close(); });
}

void Operation::Join() {
    Do([&] { MakeBuffers(); });
    Do([&] { names_ = SeriesNames(plan_.first_piece); });
    ShowOperating();

    // The output is written beside the destination and takes its name only when it is whole.
    Do([&] { permissions_ = AccessOf(plan_.first_piece); });
    OpenTemporary(whole_, plan_.whole);
    piece_ = TakePiece(1);
    if (plan_.expected) {
        // Pieces that match their lines are the bytes the list describes: the whole file's
        // digest is worked out only when the list has nothing else to prove it by.
        const bool whole = plan_.expected->whole_proves();
        hashes_ = std::make_unique<HashPipeline>(!whole, whole);
    }
    std::vector<uint8_t> header(kHeaderLength);
    Do([&] { piece_.Read(header.data(), kHeaderLength); });
    Hash(header.data(), kHeaderLength, false);
    CopyFirstPiece(piece_, whole_);
    Do([&] { piece_.Close(); });
    SetProgress(split_);

    LaterPieces(false);
    // The flush waits for the disk while the hashing catches up; only then are the digests
    // compared, before anything takes the output's name.
    Do([&] { whole_.Sync(); });
    if (hashes_) {
        CompareChecksums();
    }
    Do([&] { whole_.Close(); });
    PutInPlace();
    Do([&] { display_.SetProgress(100); });
}

}  // namespace

Outcome RunOperation(const OperationPlan& plan, ProgressDisplay& display, MessageBox& message_box) {
    display.BeginOperation();
    Outcome result = Outcome::kNotDone;
    if (!plan.series.consistent()) {
        // The request rules hand over a consistent plan; anything else would read or write
        // bytes that belong to no piece. A series has at least two pieces: a piece size that
        // takes in the whole stream would have the join read its first piece a second time.
        ShowErrorReport(message_box, RuntimeError(kErrInvalidArgument));
        display.EndOperation();
        return Outcome::kNotDone;
    }
    Operation operation(plan, display, message_box);
    try {
        if (plan.mode == Mode::kSplit) {
            operation.Split();
        } else {
            operation.Join();
        }
        result = Outcome::kDone;
    } catch (const Stopped&) {
        result = Outcome::kStopped;
    } catch (const Damaged&) {
        result = Outcome::kDamaged;
    } catch (...) {
        // Given up by the user, or a failure no step could report: either way the files are
        // closed and the window comes back; the caller says the operation was not done.
        result = Outcome::kNotDone;
    }
    // What took its name is done, whatever came after it (the bar, closing the source).
    if (operation.committed()) {
        result = Outcome::kDone;
    }
    operation.Finish();
    display.EndOperation();
    return result;
}

bool SplitJoin(const OperationPlan& plan, ProgressDisplay& display, MessageBox& message_box) {
    return RunOperation(plan, display, message_box) == Outcome::kDone;
}

bool SplitJoin(const std::string& InOpenFile, const std::string& InSaveFile, Mode InOption,
               int64_t Insize, int64_t InSplit, int16_t InTotalFiles, ProgressDisplay& display,
               MessageBox& message_box) {
    OperationPlan plan;
    plan.mode = InOption;
    plan.whole = InOption == Mode::kSplit ? InOpenFile : InSaveFile;
    plan.first_piece = InOption == Mode::kSplit ? InSaveFile : InOpenFile;
    plan.series = {Insize, InSplit, InTotalFiles};
    return SplitJoin(plan, display, message_box);
}

}  // namespace tessarel
