#include "preview/PluginChoice.hpp"

#include "audio/FileOps.hpp"
#include "audio/info/TWAVInfo.hpp"

#include <algorithm>
#include <array>

namespace zd {

namespace {

constexpr int kWaveFormatMpeg = 80;
constexpr int kWaveFormatMpegLayer3 = 85;

constexpr std::array<std::string_view, 9> kDecoders = {
    "in_mp3.dll", "in_mp4.dll", "in_vorbis.dll", "in_flac.dll", "in_wave.dll",
    "in_bpopus.dll", "aiff.dll", "in_wma.dll", "in_ape.dll",
};

bool In(std::string_view e, std::string_view list) noexcept
{
    return list.find(e) != std::string_view::npos;
}

} // namespace

std::string ChoosePlugin(std::string_view fileName)
{
    const std::string e = ExtensionLower(fileName) + ".";
    if (In(e, ".mp3.mp2.aac.m3p.mp3pro."))
        return "in_mp3.dll";
    if (In(e, ".m4a.mp4.mp4a."))
        return "in_mp4.dll";
    if (e == ".ogg.")
        return "in_vorbis.dll";
    if (e == ".flac.")
        return "in_flac.dll";
    if (e == ".wav.") {
        TWAVInfo info;
        info.Open(std::string(fileName), nullptr);
        const bool mpeg = info.FormatTag == kWaveFormatMpeg || info.FormatTag == kWaveFormatMpegLayer3;
        return mpeg ? "in_mp3.dll" : "in_wave.dll";
    }
    if (e == ".opus.")
        return "in_bpopus.dll";
    if (In(e, ".aifc.aiff.aif.snd.au."))
        return "aiff.dll";
    if (In(e, ".wma.asf."))
        return "in_wma.dll";
    if (In(e, ".ape.mac."))
        return "in_ape.dll";
    return "";
}

bool IsDecoderName(std::string_view name) noexcept
{
    return std::find(kDecoders.begin(), kDecoders.end(), name) != kDecoders.end();
}

} // namespace zd
