// Inputs that the fuzz targets found faults with: each reader ends quietly on
// them (the sanitizer build checks that nothing is read or copied wrongly).

#include <gtest/gtest.h>

#include "MPEGTestData.hpp"
#include "audio/info/TFLAC.hpp"
#include "audio/tags/TOggTags.hpp"

namespace zd {
namespace {

using namespace testdata;

Bytes Finding(const char* name) { return ReadFile(std::filesystem::path(ZD_SOURCE_DIR) / "tests/fixtures/fuzz" / name); }

TEST(FuzzFindings, EmptyReadsEndQuietly)
{
    // A FLAC comment block of length 0, and an Ogg comment page without body:
    // both once copied 0 bytes into an empty buffer.
    const Bytes flac = Finding("flac-empty-comment-block");
    ASSERT_FALSE(flac.empty());
    MemorySource flacSource(flac);
    TFLAC reader(true);
    reader.Parse(flacSource);
    EXPECT_TRUE(reader.Names.empty());

    const Bytes ogg = Finding("ogg-tags-empty-page");
    ASSERT_FALSE(ogg.empty());
    MemorySource oggSource(ogg);
    TOggTags tags;
    tags.Parse(oggSource);
    EXPECT_TRUE(tags.Names.empty());
}

} // namespace
} // namespace zd
