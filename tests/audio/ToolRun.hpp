#pragma once

// Running the audio tools (ffmpeg, ffprobe, sox, lame, python3 with mutagen)
// from the tests.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../support/AudioTools.hpp"
#include "MPEGTestData.hpp"

namespace zd::testdata {

using testsupport::RunQuietly;

// ffprobe's container duration in ms, -1 when it gives none.
inline double ProbeMs(const std::string& path)
{
    const std::string command = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    return read ? std::atof(line) * 1000.0 : -1;
}

// Debian's python3, which python3-mutagen installs into (a python3 found
// first on the path may be another one).
inline constexpr const char* kSystemPython = "/usr/bin/python3";

// True when the system's python3 can import mutagen.
inline bool HaveMutagen() { return RunQuietly(std::string(kSystemPython) + " -c 'import mutagen'"); }

// Runs a python3 script with mutagen; true when it succeeds.
inline bool RunMutagen(const std::string& script)
{
    std::FILE* pipe = popen((std::string(kSystemPython) + " - >/dev/null").c_str(), "w");
    if (pipe == nullptr)
        return false;
    std::fputs(script.c_str(), pipe);
    return pclose(pipe) == 0;
}

} // namespace zd::testdata
