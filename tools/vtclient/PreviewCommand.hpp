#pragma once

#include "Client.hpp"

#include <span>
#include <string>

namespace zd::vtclient {

// "preview NAME [--bytes START-END | --ms START-END] [--player] [--rg] -o FILE":
// asks for an MP3 preview of the file NAME ("C:\Music\x.flac") over HTTP on
// the command port, with the scrambled Basic credentials of the options
// (and the "Winamp" player mark with --player, replay gain with --rg).
// Prints the status line and the headers, writes the body to FILE and
// prints how many body bytes came. Returns 0 for a 200 answer whose body
// is as long as announced, 1 for any other answer, 2 for bad arguments.
// Throws std::runtime_error when the server cannot be reached.
int RunPreview(const LoginOptions& options, std::span<const std::string> arguments);

// The request target for a file name: marked as UTF-8 when it has bytes
// above 0x7F, "\" as "/", spaces as "%20", "?rg=1" when asked, and ".mp3"
// at the end.
std::string PreviewTarget(const std::string& fileName, bool replayGain);

} // namespace zd::vtclient
