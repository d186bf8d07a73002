#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "audio/TVRNFileStream.hpp"
#include "audio/TextFileReader.hpp"

namespace zd {

// Openers of other programs' files, with retries 500 ms apart (no pause after
// the last attempt). They never throw: they give nullptr or false and leave
// the reason of the last failure in LastFileError.

// The message of the last failure inside the retrying openers on this
// thread ("" at first), as a hint for log lines and replies: one text per
// thread, so a connection never shows another one's reason. noexcept apart
// from allocation.
std::string LastFileError();
void SetLastFileError(std::string message);

// Up to attempts tries to open the file in mode (any mode word). When the
// mode asks for write access and the file is missing, it is first made empty
// (a failure gives nullptr). The stream is at position 0.
std::unique_ptr<TVRNFileStream> OpenFileStreamRetry(
    std::string_view markedPath, int attempts, std::uint16_t mode);

// The same without the creating step (mode may be the create mode).
std::unique_ptr<TVRNFileStream> OpenWideFileStreamRetry(
    std::string_view markedPath, int attempts, std::uint16_t mode);

// False when the file does not exist; otherwise up to attempts tries to open
// it for reading as a text file (denying writers); true with the open file in
// file.
bool OpenTextFileRetry(TextFileReader& file, std::string_view markedPath, int attempts);

// The whole file as one 8-bit text, read with sharing allowed for everyone;
// on any failure "Error>" followed by the error message.
std::string ReadWholeTextFile(std::string_view markedPath);

// True when the file opens read-only with sharing allowed for everyone.
bool CanOpenForReading(std::string_view markedPath);

} // namespace zd
