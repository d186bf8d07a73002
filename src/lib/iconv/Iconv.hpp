#pragma once

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <string>

namespace zd {

// The owner of an iconv conversion descriptor. A descriptor keeps state
// between calls, so one is used by one thread at a time. Header-only and
// free of the rest of the tree, so the text helpers at the bottom of it can
// use it too.
class Iconv {
public:
    // Opens the conversion; IsOpen() is false when iconv does not know one of
    // the names. noexcept.
    Iconv(const std::string& to, const std::string& from) noexcept
        : cd_(::iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~Iconv() noexcept
    {
        if (IsOpen())
            ::iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool IsOpen() const noexcept { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible, appending to `out`; false at the first
    // byte sequence that cannot be converted, leaving `in` and `inLeft`
    // there and the descriptor reset. Throws only on allocation failure.
    bool Step(const char*& in, std::size_t& inLeft, std::string& out)
    {
        char buffer[1024];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);
            const std::size_t r = ::iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            in = inPtr;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

} // namespace zd
