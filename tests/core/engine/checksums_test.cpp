#include "engine/checksums.h"

#include <gtest/gtest.h>

#include "engine/hash_pipeline.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

Digest Of(const std::string& text) {
    Sha256 hash;
    hash.Update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return hash.Finish();
}

TEST(Checksums, LinesAreWrittenAndReadAsSha256sumDoes) {
    EXPECT_EQ(HexOf(Of("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const Digest d = Of("x");
    const std::string hex = HexOf(d);
    struct Case {
        std::string name, line;
    };
    const Case cases[] = {
        {"plain.m00", hex + "  plain.m00\n"},
        {"with blanks.m00", hex + "  with blanks.m00\n"},
        {"back\\slash", "\\" + hex + "  back\\\\slash\n"},
        {"line\nfeed", "\\" + hex + "  line\\nfeed\n"},
        {"carriage\rreturn", "\\" + hex + "  carriage\\rreturn\n"},
        {"bytes \xff\xfe", hex + "  bytes \xff\xfe\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChecksumLine(d, c.name), c.line);
        const auto parsed = ParseChecksumList(c.line);
        ASSERT_TRUE(std::holds_alternative<ChecksumList>(parsed)) << c.name;
        EXPECT_EQ(std::get<ChecksumList>(parsed).at(c.name), d);
    }
    // sha256sum's binary mark is read too.
    EXPECT_TRUE(std::holds_alternative<ChecksumList>(ParseChecksumList(hex + " *bin\n")));
}

TEST(Checksums, AMalformedListSaysWhichLineAndWhy) {
    const std::string hex = HexOf(Of("x"));
    const std::pair<std::string, std::string> cases[] = {
        {hex.substr(0, 63) + "g  a\n", "line 1 holds a checksum that is not hexadecimal"},
        {hex + "  a\n" + hex + " a\n", "line 2 is not a checksum line"},
        {hex + "  a\n" + HexOf(Of("y")) + "  ./a\n", "two lines for a disagree"},
        {"\\" + hex + "  a\\q\n", "line 1 names no file"},
        {std::string(kMaxChecksumListBytes + 1, 'a'), "it is too large to be a list of ours"},
    };
    for (const auto& [text, why] : cases) {
        const auto parsed = ParseChecksumList(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << why;
        EXPECT_EQ(std::get<std::string>(parsed), why);
    }
}

// What sha256sum -c takes is taken: CR LF, "./" before a name, no last line end, a line twice.
TEST(Checksums, ListsAreReadAsSha256sumReadsThem) {
    const std::string line = HexOf(Of("x")) + "  ";
    for (const std::string& text :
         {line + "a\r\n", line + "./a\n", line + "a", line + "a\n" + line + "a"}) {
        const auto parsed = ParseChecksumList(text);
        ASSERT_TRUE(std::holds_alternative<ChecksumList>(parsed)) << text;
        EXPECT_EQ(std::get<ChecksumList>(parsed), (ChecksumList{{"a", Of("x")}})) << text;
    }
}

// The pipeline's digests are those of the bytes handed over, piece by piece and for the whole
// file, however the bytes were cut into calls.
TEST(HashPipeline, DigestsOfPiecesAndOfTheWholeFile) {
    const auto bytes = Pattern(3 << 20, 4);
    HashPipeline pipeline;
    pipeline.Add(1, bytes.data(), 20, false);  // the header
    pipeline.Add(1, bytes.data() + 20, 1000000, true);
    for (size_t at = 1000020; at < bytes.size(); at += 7777) {
        pipeline.Add(2, bytes.data() + at, std::min<size_t>(7777, bytes.size() - at), true);
    }
    const SeriesDigests digests = pipeline.Finish();
    ASSERT_EQ(digests.pieces.size(), 2u);
    auto of = [&](size_t from, size_t to) {
        Sha256 h;
        h.Update(bytes.data() + from, to - from);
        return h.Finish();
    };
    EXPECT_EQ(digests.pieces[0], of(0, 1000020));
    EXPECT_EQ(digests.pieces[1], of(1000020, bytes.size()));
    EXPECT_EQ(digests.whole, of(20, bytes.size()));
}

}  // namespace
}  // namespace tessarel
