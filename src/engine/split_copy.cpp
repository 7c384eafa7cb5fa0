// A split's own steps: the first piece's header, the checksum list and the recovery pieces
// written beside the series, the source checked unchanged, then the commit.
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/checksums.h"
#include "engine/recovery.h"
#include "engine/series_check.h"
#include "engine/series_copy.h"
#include "engine/series_recovery.h"

namespace tessarel {

void SeriesCopy::CheckSourceUnchanged() {
    Do([&] {
        const PathInfo now = InfoOf(plan_.whole);
        if (now.size != plan_.series.source_length() ||
            (plan_.source_modified != 0 && now.modified != plan_.source_modified)) {
            throw RuntimeError(kErrSourceChanged, ErrorDescription(kErrSourceChanged), plan_.whole);
        }
    });
}

void SeriesCopy::WriteChecksumList() {
    File list;
    std::string text;
    Do([&] {
        SeriesDigests listed = digests_;
        listed.recovery = recovery_digests_;
        text = ChecksumListText(listed, names_);
    });
    OpenTemporary(list, list_name_);
    list_written_ = list.path();
    list_text_ = text;
    Do([&] { list.Write(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size())); });
    Do([&] { list.Sync(); });
    Do([&] { list.Close(); });
}

void SeriesCopy::WriteRecoveryPieces() {
    const int m = plan_.recovery_pieces;
    const int k = static_cast<int>(total_);
    RecoveryHeader header{kRecoveryFormatVersion,    k, m, 0, split_, size_,
                          StripeSizeOf(plan_.series)};
    header.headerless = plan_.series.headerless;
    RecoveryCoder coder(plan_.series, m, header.stripe_size);
    std::vector<File> pieces(written_names_.size());
    std::vector<File> recovery(static_cast<size_t>(m));
    std::vector<Sha256> sums(static_cast<size_t>(m));
    std::vector<CoderRow> rows(size_t(k + m));
    for (size_t i = 0; i < pieces.size(); ++i) {
        Do([&] { pieces[i] = File::OpenForReading(written_names_[i]); });
        rows[i].in = &pieces[i];
    }
    for (int j = 0; j < m; ++j) {
        File& file = recovery[size_t(j)];
        OpenTemporary(file, RecoveryPieceName(names_, j));
        recovery_names_.push_back(file.path());
        header.index = j;
        const std::vector<uint8_t> bytes = RecoveryHeaderBytes(header);
        Do([&] { file.Write(bytes.data(), kRecoveryHeaderLength); });
        sums[size_t(j)].Update(bytes.data(), bytes.size());
        CoderRow& row = rows[size_t(k + j)];
        row.wanted = true;
        row.out = &file;
        row.hash = &sums[size_t(j)];
    }
    // Every stripe's checksum, of the pieces as read back and of the recovery rows as made.
    StripeTable table(k + m, coder.stripes());
    coder.Run(rows, nullptr, &table, [&](const std::function<void()>& step) { Do(step); });
    const std::vector<uint8_t> trailer = RecoveryTrailerBytes(header, table);
    for (int j = 0; j < m; ++j) {
        File& file = recovery[size_t(j)];
        Do([&] { file.Write(trailer.data(), static_cast<int32_t>(trailer.size())); });
        sums[size_t(j)].Update(trailer.data(), trailer.size());
        Do([&] { file.StartWriteback(); });
        written_.push_back(std::move(file));  // flushed with the pieces
        recovery_digests_.push_back(sums[size_t(j)].Finish());
    }
}

void SeriesCopy::ReadBack(const std::vector<Written>& files) {
    int64_t total = 0;
    for (const Written& file : files) {
        Do([&] { total += FileLength(file.path); });
    }
    Do([&] {
        display_.ShowReadingBack(true);
        display_.SetProgress(0);
    });
    // Every core reads and hashes a file of its own, so the medium is read at its pace while
    // the hashing keeps up; only this thread shows the bar and hears a stop.
    std::atomic<size_t> next{0};
    std::atomic<int64_t> done{0};
    std::atomic<bool> ended{false};
    std::mutex failure_mutex;
    std::optional<std::string> differs;
    bool stopped = false;
    const auto worker = [&](bool shows) {
        for (size_t i = next++; i < files.size() && !ended; i = next++) {
            const Written& file = files[i];
            if (shows && int64_t(i) < total_) {
                ShowPiece(int64_t(i) + 1);
            }
            Sha256 hash;
            bool kept = true;
            try {
                ReadFromMedium(
                    file.path, file.final_name,
                    [&](const uint8_t* bytes, size_t n) {
                        hash.Update(bytes, n);
                        done += int64_t(n);
                        if (shows) {
                            display_.SetProgress(
                                ProgressPercent(done, std::max<int64_t>(total, 1)));
                            display_.ShowBytes(done, total);
                        }
                    },
                    [&] {
                        if (ended || (shows && display_.ShouldStop())) {
                            throw Stopped{};
                        }
                    });
                kept = hash.Finish() == file.digest;
            } catch (const RuntimeError&) {
                kept = false;  // what cannot be read back was not kept
            } catch (const Stopped&) {
                const std::lock_guard<std::mutex> lock(failure_mutex);
                stopped = stopped || !ended;
                ended = true;
                return;
            }
            if (!kept) {
                const std::lock_guard<std::mutex> lock(failure_mutex);
                if (!differs) {
                    differs = file.final_name;
                }
                ended = true;
            }
        }
    };
    const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < cores; ++t) {
        helpers.emplace_back(worker, false);
    }
    worker(true);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (differs) {
        throw MediumDiffers{*differs};
    }
    if (stopped) {
        throw Stopped{};
    }
    Do([&] { display_.ShowReadingBack(false); });
}

void SeriesCopy::Split() {
    std::string header;
    if (!plan_.series.headerless) {
        Do([&] { header = HeaderText(plan_.series.source_length()); });
    }
    Do([&] { MakeBuffers(); });
    Do([&] {
        names_ = plan_.names ? *plan_.names : SeriesNames(plan_.first_piece);
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
    // Read back, the pieces are compared with their digests, list or not.
    if (plan_.write_checksums || plan_.read_back) {
        hashes_ = std::make_unique<HashPipeline>(true, plan_.write_checksums);
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
        digests_ = hashes_->Finish();
    }
    if (plan_.write_checksums) {
        WriteChecksumList();
    }
    if (plan_.read_back) {
        std::vector<Written> files;
        for (size_t i = 0; i < written_names_.size(); ++i) {
            files.push_back({written_names_[i], names_[int64_t(i) + 1], digests_.pieces[i]});
        }
        for (size_t j = 0; j < recovery_names_.size(); ++j) {
            files.push_back(
                {recovery_names_[j], RecoveryPieceName(names_, int(j)), recovery_digests_[j]});
        }
        if (!list_written_.empty()) {
            Sha256 list;
            list.Update(reinterpret_cast<const uint8_t*>(list_text_.data()), list_text_.size());
            files.push_back({list_written_, list_name_, list.Finish()});
        }
        ReadBack(files);
    }
    // Until here the disk is as it was. An older list this split does not replace would call
    // the new pieces damaged, and an older series' pieces after the new last one would be taken
    // for this series' by a reader: they go with the commit.
    Do([&] {
        if (!plan_.write_checksums && ListExists()) {
            commit_.Remove(list_name_);
        }
        for (const std::string& name : FilesAfterSeries(names_, total_)) {
            commit_.Remove(name);
        }
        // So would an older series' recovery pieces this split does not write again.
        for (const auto& [index, name] : RecoveryPieceNames(names_)) {
            if (index >= plan_.recovery_pieces) {
                commit_.Remove(name);
            }
        }
    });
    PutInPlace();
    Do([&] { display_.SetProgress(100); });
    Do([&] { whole_.Close(); });
}

}  // namespace tessarel
