#pragma once

#include <memory>
#include <string>

#include "audio/TVRNFileStream.hpp"
#include "audio/info/ByteSource.hpp"

namespace zd {

// A ByteSource over an open file stream (the stream's position moves).
class StreamSource final : public ByteSource {
public:
    // Throws FileError when the stream's size cannot be taken.
    explicit StreamSource(TVRNFileStream& stream) : stream_(stream), size_(stream.Size()) {}

    std::int64_t Size() const noexcept override { return size_; }

    // Throws FileError on a read error.
    std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> out) override
    {
        if (pos < 0 || pos >= size_)
            return 0;
        stream_.Seek(pos, TVRNFileStream::Origin::Begin);
        std::size_t done = 0;
        while (done < out.size()) {
            const std::size_t got = stream_.Read(out.data() + done, out.size() - done);
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

private:
    TVRNFileStream& stream_;
    std::int64_t size_;
};

// The common open pattern of the stream-information readers: parse the given
// stream (a stream without a file handle counts as none), or open the file by
// marked name with mode 0x0040, parse it and close it. parse is called with a
// ByteSource; nothing is parsed when the file cannot be opened. noexcept.
template <typename Parse>
void ParseFileOrStream(const std::string& name, TVRNFileStream* stream, Parse&& parse) noexcept
{
    try {
        if (stream != nullptr && stream->HasHandle()) {
            StreamSource source(*stream);
            parse(source);
            return;
        }
        TVRNFileStream own(name, kOpenRead | kShareDenyNone);
        StreamSource source(own);
        parse(source);
    } catch (...) {
        // Unopenable file or unreadable size: no result.
    }
}

} // namespace zd
