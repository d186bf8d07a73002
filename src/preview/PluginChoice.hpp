#pragma once

#include <string>
#include <string_view>

namespace zd {

// The decoder for a file, chosen by its extension (the extension table of
// the decoder host). Every row is served by FFmpeg; the row only names the
// decoder, as the station's logs and the decoder's description show it.
// Rows, first match wins, e the lower-cased extension with its dot and a
// trailing "." (a name without extension gives "."):
//   ".mp3.mp2.aac.m3p.mp3pro." in_mp3.dll      ".m4a.mp4.mp4a."   in_mp4.dll
//   ".ogg."                    in_vorbis.dll   ".flac."           in_flac.dll
//   ".wav."  in_mp3.dll for MPEG data (format tag 80 or 85), else in_wave.dll
//   ".opus."                   in_bpopus.dll   ".aifc.aiff.aif.snd.au." aiff.dll
//   ".wma.asf."                in_wma.dll      ".ape.mac."        in_ape.dll
// Anything else gets no decoder (""). No media framework serves ".m4a" here,
// and the decoders need no per-slot copies: they are code of this process,
// not plug-in files, so each stream simply has its own decoder object.
// Reads a ".wav" file's format chunk. noexcept apart from allocation.
std::string ChoosePlugin(std::string_view fileName);

// True for the decoder names ChoosePlugin gives. noexcept.
bool IsDecoderName(std::string_view name) noexcept;

} // namespace zd
