#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "audio/TVRNFileStream.hpp"

namespace zd {

// A text file read line by line (buffered). Lines end at CR LF, LF or CR;
// the end of line is not part of the line. Not copyable, movable.
class TextFileReader {
public:
    TextFileReader() = default;

    // Opens the file read-only denying writers. Throws FileError as
    // TVRNFileStream does.
    void Open(std::string_view markedPath);
    // Takes an open stream, read from its position.
    void Attach(std::unique_ptr<TVRNFileStream> stream) noexcept;
    bool IsOpen() const noexcept { return stream_ != nullptr; }
    void Close() noexcept;

    // The next line; false at the end of the file. Throws FileError on a
    // read error.
    bool ReadLine(std::string& line);
    bool Eof();

private:
    bool Fill();
    std::unique_ptr<TVRNFileStream> stream_;
    std::string buffer_;
    std::size_t next_ = 0;
    bool ended_ = false;
};

} // namespace zd
