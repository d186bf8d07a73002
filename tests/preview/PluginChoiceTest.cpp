#include <gtest/gtest.h>

#include "audio/TempInstallation.hpp"
#include "preview/PluginChoice.hpp"

#include <cstdint>
#include <string>

using namespace std::string_literals;

namespace zd {
namespace {

TEST(PluginChoice, ExtensionTable)
{
    const struct {
        const char* name;
        const char* decoder;
    } cases[] = {
        {"C:\\a\\song.MP3", "in_mp3.dll"},   {"C:\\a\\song.mp3pro", "in_mp3.dll"}, {"C:\\a\\song.mp2", "in_mp3.dll"},
        {"C:\\a\\song", "in_mp3.dll"},       {"C:\\a.b\\song", "in_mp3.dll"},      {"C:\\a\\song.mp", ""},
        {"C:\\a\\x.m4a", "in_mp4.dll"},      {"C:\\a\\x.mp4a", "in_mp4.dll"},      {"C:\\a\\x.ogg", "in_vorbis.dll"},
        {"C:\\a\\x.og", ""},                 {"C:\\a\\x.FLAC", "in_flac.dll"},     {"C:\\a\\x.opus", "in_bpopus.dll"},
        {"C:\\a\\x.aif", "aiff.dll"},        {"C:\\a\\x.au", "aiff.dll"},          {"C:\\a\\x.wma", "in_wma.dll"},
        {"C:\\a\\x.asf", "in_wma.dll"},      {"C:\\a\\x.ape", "in_ape.dll"},       {"C:\\a\\x.mac", "in_ape.dll"},
        {"C:\\a\\x.mpc", ""},                {"C:\\a\\x.a", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChoosePlugin(c.name), c.decoder) << c.name;
        EXPECT_EQ(c.decoder[0] == 0 || IsDecoderName(c.decoder), true) << c.name;
    }
    EXPECT_FALSE(IsDecoderName("in_mf.dll"));
}

// A ".wav" holding MPEG audio (format tag 80 or 85) goes to the MPEG decoder.
TEST(PluginChoice, WaveByFormatTag)
{
    testing::TempInstallation install;
    const auto wave = [](std::uint16_t tag) {
        std::string fmt = "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0"s;
        fmt += static_cast<char>(tag & 0xFF);
        fmt += static_cast<char>(tag >> 8);
        fmt += "\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\0\0\0\0"s;
        return fmt;
    };
    install.Put("Audio/pcm.wav", wave(1));
    install.Put("Audio/mpeg.wav", wave(80));
    install.Put("Audio/layer3.wav", wave(85));
    EXPECT_EQ(ChoosePlugin("C:\\Audio\\pcm.wav"), "in_wave.dll");
    EXPECT_EQ(ChoosePlugin("C:\\Audio\\mpeg.wav"), "in_mp3.dll");
    EXPECT_EQ(ChoosePlugin("C:\\Audio\\LAYER3.WAV"), "in_mp3.dll");
    EXPECT_EQ(ChoosePlugin("C:\\Audio\\missing.wav"), "in_wave.dll");
}

} // namespace
} // namespace zd
