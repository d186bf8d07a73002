#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zd {

// What a preview request asks for: the request line's target, the three
// header kinds the server reads and the player mark. All texts are 8-bit;
// the file name is marked text.
struct PreviewRequest {
    static constexpr std::size_t kMaxCredentials = 63;

    std::string FileName;
    bool ReplayGainWanted = false;
    std::int64_t RangeStart = 0;
    std::int64_t RangeEnd = 0; // exclusive; 0 = to the end
    bool RangeInMilliseconds = false;
    std::string Credentials;   // the Basic credentials, later the user name
    std::string SentPassword;
    bool BrowserMode = true;   // no header named a known player

    // True when the first line of a connection is an HTTP request line: its
    // upper-case form holds " HTTP/1.". noexcept apart from allocation.
    static bool IsRequestLine(std::string_view firstLine);

    // The file name and the replay-gain wish from the request line's target:
    // "%20" becomes a space, "/" becomes "\", the target must end in ".mp3"
    // (which is cut off; otherwise the name is empty), and "?rg=1" before it
    // asks for replay gain.
    void ReadTarget(std::string_view firstLine);
    // Classifies one header line by its first characters, lower-cased:
    // "range: bytes=", "range: milliseconds=", "authorization: basic ";
    // any other line holding "Vornelle" or "Winamp" marks a player.
    void ReadHeader(std::string_view line);
    // A range value "START-END", "START-" or "-FROMEND".
    void ReadRange(std::string_view value);
    // Base64-decodes and unscrambles the credentials into the user name and
    // the password.
    void DecodeCredentials();
};

// The byte lengths and positions of a preview (signed 64-bit, divisions
// truncating toward zero).
struct PreviewLengths {
    std::int64_t FullLength = 0;    // the whole MP3 rendering
    std::int64_t RangeStart = 0;
    std::int64_t RangeEnd = 0;
    std::int64_t ContentLength = 0; // announced and sent
    std::int32_t CueTimeMs = 0;     // where decoding starts
    bool Satisfiable = false;       // false: answered with 416
};

// The lengths for a request on audio of durationMs (above 0) encoded at
// kbit kilobit per second. A range that starts or ends beyond the full
// length, ends before it starts, or starts (counted from the end) before
// the beginning, is not satisfiable. noexcept.
PreviewLengths ComputePreviewLengths(const PreviewRequest& request, std::int64_t durationMs, int kbit) noexcept;

} // namespace zd
