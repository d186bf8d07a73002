#pragma once

#include <filesystem>
#include <string>

#include "ToolRun.hpp"

namespace zd::testdata {

// Writes the tags of every format with mutagen into short files made by
// sox, lame and ffmpeg in dir: v23.mp3, v24.mp3, vorbis.ogg, opus.opus,
// flac.flac, aac.m4a and wma.wma. False when a tool fails.
inline bool MakeMutagenFiles(const std::filesystem::path& dir)
{
    const auto file = [&dir](const char* name) { return (dir / name).string(); };
    const std::string source = file("source.wav");
    if (!RunQuietly("sox -n -r 44100 -c 2 -b 16 '" + source + "' synth 0.6 sine 440"))
        return false;
    const std::string ffmpeg = "ffmpeg -v error -y -i '" + source + "' ";
    for (const auto& make : {"lame --quiet -b 128 '" + source + "' '" + file("v23.mp3") + "'",
             "lame --quiet -b 128 '" + source + "' '" + file("v24.mp3") + "'",
             ffmpeg + "-c:a libvorbis '" + file("vorbis.ogg") + "'",
             ffmpeg + "-c:a libopus '" + file("opus.opus") + "'",
             ffmpeg + "-c:a flac '" + file("flac.flac") + "'",
             ffmpeg + "-c:a aac '" + file("aac.m4a") + "'",
             ffmpeg + "-c:a wmav2 '" + file("wma.wma") + "'"}) {
        if (!RunQuietly(make))
            return false;
    }
    return RunMutagen(R"PY(
import os
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TCON, COMM, TRCK, TBPM, TSRC, TDRC, TCOM, TYER
from mutagen.oggvorbis import OggVorbis
from mutagen.oggopus import OggOpus
from mutagen.flac import FLAC
from mutagen.mp4 import MP4, MP4FreeForm
from mutagen.asf import ASF
folder = ")PY" + dir.string() + R"PY("
def path(name): return os.path.join(folder, name)

t = ID3()
t.add(TIT2(encoding=0, text="Caf\u00e9 Latin"))
t.add(TPE1(encoding=1, text="Bj\u00f6rk Wide"))
t.add(TALB(encoding=1, text="Plain Album"))
t.add(TCON(encoding=0, text="(17)"))
t.add(COMM(encoding=1, lang="eng", desc="", text="Wide comment \u00e9"))
t.add(TRCK(encoding=0, text="3/12"))
t.add(TBPM(encoding=0, text="120"))
t.add(TYER(encoding=0, text="1999"))
t.save(path("v23.mp3"), v2_version=3)

t = ID3()
t.add(TIT2(encoding=3, text="\u00dcnic\u00f6de Title"))
t.add(TPE1(encoding=1, text="UTF-16 Artist"))
t.add(TCOM(encoding=0, text="Latin Composer \u00e9"))
t.add(TDRC(encoding=3, text="2024-03-15"))
t.add(TSRC(encoding=3, text="GBAYE0000351"))
t.add(COMM(encoding=3, lang="eng", desc="", text="UTF-8 comment"))
t.add(TCON(encoding=3, text="(17)Indie"))
t.save(path("v24.mp3"), v2_version=4)

for f in (OggVorbis(path("vorbis.ogg")), OggOpus(path("opus.opus")), FLAC(path("flac.flac"))):
    f["title"] = "Vorbis \u00e9 Title"
    f["ARTIST"] = "Comment Artist"
    f["ALBUMARTIST"] = "Album Artist"
    f["INTRO"] = "12000"
    f["SEGUE"] = "abc"
    f["TEMPO"] = "Medium-Fast"
    f["BPM"] = "98.6"
    f["REPLAYGAIN_TRACK_GAIN"] = "-6.50 dB"
    f["DESCRIPTION"] = "x" * 70000
    f["TRACKNUMBER"] = "7"
    f.save()

m = MP4(path("aac.m4a"))
m["\xa9nam"] = "MP4 Title"
m["\xa9ART"] = "MP4 Artist"
m["aART"] = "MP4 Album Artist"
m["\xa9day"] = "2021"
m["trkn"] = [(3, 12)]
m["tmpo"] = [120]
m["\xa9cmt"] = "MP4 comment"
m["----:com.apple.iTunes:replaygain_track_gain"] = [MP4FreeForm(b"-6.50 dB")]
m.save()

a = ASF(path("wma.wma"))
a["Title"] = "WMA Title"
a["Author"] = "WMA Author"
a["Description"] = "WMA description"
a["WM/AlbumTitle"] = "WMA Album"
a["WM/Genre"] = "Jazz"
a["WM/TrackNumber"] = "4"
a["WM/BeatsPerMinute"] = "128"
a["WM/Year"] = "1998"
a["REPLAYGAIN_TRACK_GAIN"] = "-3.20 dB"
a.save()
)PY");
}

} // namespace zd::testdata
