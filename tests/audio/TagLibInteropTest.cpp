#include <gtest/gtest.h>

#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevector.h>

#include <map>

#include "TagTestFiles.hpp"
#include "audio/tags/TAPETags.hpp"

namespace zd {
namespace {

using namespace testdata;

std::string Bytes72()
{
    std::string bytes;
    for (int i = 0; i < 72; ++i)
        bytes.push_back(static_cast<char>(i * 37 % 256)); // NULs and high bytes among them
    return bytes;
}

// Items as TagLib reads them: key -> (binary, value as UTF-8 text or bytes).
std::map<std::string, std::pair<bool, std::string>> TagLibItems(const std::string& path)
{
    std::map<std::string, std::pair<bool, std::string>> items;
    TagLib::MPEG::File file(path.c_str(), false);
    TagLib::APE::Tag* tag = file.APETag(false);
    if (tag == nullptr)
        return items;
    for (const auto& [upperKey, item] : tag->itemListMap()) {
        const bool binary = item.type() == TagLib::APE::Item::Binary;
        const TagLib::ByteVector data = item.binaryData();
        items[item.key().to8Bit(true)] = {binary,
            binary ? std::string(data.data(), data.size()) : item.values().toString(",").to8Bit(true)};
    }
    return items;
}

TEST(TagLibInterop, TagLibReadsWhatTheStoreWrites)
{
    for (const bool withId3v1 : {false, true}) {
        SCOPED_TRACE(withId3v1);
        TempFolder folder;
        const std::string path = folder.File("ours.mp3");
        WriteFile(path, withId3v1 ? Join({SmallMp3(), Id3v1Tag("Old", 3)}) : SmallMp3());
        {
            TAPETags tags(path, 1, TAPETags::ModeReadWrite);
            tags.SetField("Title", "\x7F" "Caf\xC3\xA9 del Mar");
            tags.SetField("Artist", "Plain Artist");
            tags.SetField("Intro", "12000");
            tags.SetField("Comment", "line 1\nline 2");
            tags.SetField("XLastScheduled", Bytes72());
            tags.WriteTags();
            ASSERT_FALSE(tags.Error());
        }
        const auto items = TagLibItems(path);
        const std::map<std::string, std::pair<bool, std::string>> expected = {
            {"Title", {false, "Caf\xC3\xA9 del Mar"}},
            {"Artist", {false, "Plain Artist"}},
            {"Intro", {false, "12000"}},
            {"Comment", {false, "line 1\nline 2"}},
            {"XLastScheduled", {true, Bytes72()}},
        };
        EXPECT_EQ(items, expected);
    }
}

TEST(TagLibInterop, TheStoreReadsAndKeepsWhatTagLibWrites)
{
    TempFolder folder;
    const std::string path = folder.File("theirs.mp3");
    const Bytes audio = SmallMp3();
    WriteFile(path, Join({audio, Id3v1Tag("Old", 3)}));
    {
        TagLib::MPEG::File file(path.c_str(), false);
        TagLib::APE::Tag* tag = file.APETag(true);
        tag->setTitle(TagLib::String("Caf\xC3\xA9", TagLib::String::UTF8));
        tag->addValue("Intro", "5000");
        tag->addValue("Genre", "Pop");
        tag->addValue("Genre", "Rock", false);
        const std::string bytes = Bytes72();
        tag->setItem("XLastScheduled",
            TagLib::APE::Item("XLastScheduled", TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())), true));
        ASSERT_TRUE(file.save(TagLib::MPEG::File::APE | TagLib::MPEG::File::ID3v1, TagLib::File::StripNone));
    }
    {
        TAPETags tags(path, 1, TAPETags::ModeReadWrite);
        EXPECT_TRUE(tags.HasAPETag());
        EXPECT_TRUE(tags.HasID3v1());
        EXPECT_FALSE(tags.Error());
        EXPECT_EQ(tags.GetField("Title"), "\x7F" "Caf\xC3\xA9");
        EXPECT_EQ(tags.GetField("Intro"), "5000");
        EXPECT_EQ(tags.GetField("Genre"), "Pop,Rock");
        EXPECT_EQ(tags.GetField("XLastScheduled"), Bytes72());
        // Change one field and write the store back over TagLib's tag.
        tags.SetField("Intro", "6000");
        tags.WriteTags();
        EXPECT_FALSE(tags.Error());
    }
    const Bytes file = ReadFile(path);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
    const auto items = TagLibItems(path);
    EXPECT_EQ(items.at("Intro").second, "6000");
    EXPECT_EQ(items.at("TITLE").second, "Caf\xC3\xA9");
    EXPECT_EQ(items.at("XLastScheduled"), std::make_pair(true, Bytes72()));
    TagLib::MPEG::File check(path.c_str(), false);
    EXPECT_TRUE(check.hasID3v1Tag());
}

} // namespace
} // namespace zd
