#include "platform/extension.h"

#include <gtest/gtest.h>

#include "support/error_of.h"

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

TEST(Extension, BackslashPathsBehaveAsDesigned) {
    EXPECT_EQ(ExtensionOf("C:\\data\\report.txt"), "txt");
    EXPECT_EQ(ExtensionOf("C:\\data\\archive.m00"), "m00");
    EXPECT_EQ(ExtensionOf("C:\\data\\page.html"), "");
    EXPECT_EQ(ExtensionOf("C:\\data\\readme"), "");
    EXPECT_EQ(ExtensionOf("C:\\data.old\\readme"), "");
    EXPECT_EQ(ExtensionOf("C:\\data\\name."), "");
    EXPECT_EQ(ExtensionOf("C:\\data\\DATA.M00"), "M00");
    EXPECT_EQ(StripExtension("C:\\m00\\out.m00"), "C:\\m00\\out");
}

TEST(Extension, SlashPathsWorkTheSameWay) {
    EXPECT_EQ(ExtensionOf("/home/ann.d/readme"), "");
    EXPECT_EQ(ExtensionOf("/srv/data.zip.m00"), "m00");
    EXPECT_EQ(StripExtension("/m00/out.m00"), "/m00/out");
    EXPECT_EQ(StripExtension("/a/b.tar.gz"), "/a/b.tar");
    EXPECT_EQ(StripExtension("/a/.m00"), "/a/");
}

TEST(Extension, PathsWithoutSeparatorOrExtensionAreInvalidArguments) {
    EXPECT_EQ(ErrorOf([] { ExtensionOf("data"); }), kErrInvalidArgument);
    EXPECT_EQ(ErrorOf([] { StripExtension("/a/readme"); }), kErrInvalidArgument);
    EXPECT_EQ(ErrorOf([] { StripExtension("/a/page.html"); }), kErrInvalidArgument);
}

TEST(Extension, Utf8NamesComeOutWhole) {
    // Three characters, nine bytes: still a short extension.
    EXPECT_EQ(ExtensionOf("/tmp/file.報告書"), "報告書");
    EXPECT_EQ(ExtensionOf("/tmp/file.été"), "été");
    EXPECT_EQ(ExtensionOf("/tmp/file.ééée"), "");
    EXPECT_EQ(StripExtension("/tmp/Привет.m00"), "/tmp/Привет");
    EXPECT_EQ(StripExtension("/tmp/🙂.m05"), "/tmp/🙂");
}

TEST(Extension, BytesThatAreNotUtf8SurviveUnchanged) {
    const std::string odd =
        "/tmp/\xff\xfe"
        "ab\xc3.m00";  // a cut-off two-byte sequence too
    EXPECT_EQ(StripExtension(odd),
              "/tmp/\xff\xfe"
              "ab\xc3");
}

TEST(Extension, PathsBeyond32767CharactersOverflow) {
    EXPECT_EQ(ExtensionOf("/" + std::string(32762, 'a') + ".m00"), "m00");
    EXPECT_EQ(ErrorOf([] { ExtensionOf("/" + std::string(32767, 'a')); }), kErrOverflow);
    // Counted in characters, not bytes: 20000 two-byte characters are fine.
    std::string wide = "/";
    for (int i = 0; i < 20000; ++i) {
        wide += "é";
    }
    EXPECT_EQ(ErrorOf([&] { ExtensionOf(wide); }), 0);
}

}  // namespace
}  // namespace tessarel
