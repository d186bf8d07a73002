#include "audio/TextFileReader.hpp"

namespace zd {

namespace {
constexpr std::size_t kChunk = 65536;
}

void TextFileReader::Open(std::string_view markedPath)
{
    auto stream = TVRNFileStream::Create(markedPath, kOpenRead | kShareDenyWrite);
    Attach(std::move(stream));
}

void TextFileReader::Attach(std::unique_ptr<TVRNFileStream> stream) noexcept
{
    stream_ = std::move(stream);
    buffer_.clear();
    next_ = 0;
    ended_ = false;
}

void TextFileReader::Close() noexcept
{
    stream_.reset();
    buffer_.clear();
    next_ = 0;
    ended_ = false;
}

bool TextFileReader::Fill()
{
    if (ended_ || !stream_)
        return false;
    buffer_.erase(0, next_);
    next_ = 0;
    const std::size_t had = buffer_.size();
    buffer_.resize(had + kChunk);
    const std::size_t n = stream_->Read(buffer_.data() + had, kChunk);
    buffer_.resize(had + n);
    if (n == 0)
        ended_ = true;
    return n > 0;
}

bool TextFileReader::Eof()
{
    while (next_ >= buffer_.size())
        if (!Fill())
            return true;
    return false;
}

bool TextFileReader::ReadLine(std::string& line)
{
    line.clear();
    if (Eof())
        return false;
    while (true) {
        const std::size_t end = buffer_.find_first_of("\r\n", next_);
        if (end == std::string::npos) {
            line.append(buffer_, next_, std::string::npos);
            next_ = buffer_.size();
            if (!Fill())
                return true;
            continue;
        }
        line.append(buffer_, next_, end - next_);
        next_ = end + 1;
        if (buffer_[end] == '\r') {
            if (next_ >= buffer_.size())
                Fill();
            if (next_ < buffer_.size() && buffer_[next_] == '\n')
                ++next_;
        }
        return true;
    }
}

} // namespace zd
