#pragma once

// One libFuzzer entry per reader: the reader parses the input as the bytes
// of a whole file.

#include <cstddef>
#include <cstdint>
#include <span>

#include "audio/info/ByteSource.hpp"

template <typename Reader, typename... Args>
int FuzzReader(const std::uint8_t* data, std::size_t size, Args... args)
{
    zd::MemorySource source(std::span<const std::uint8_t>(data, size));
    Reader reader(args...);
    reader.Parse(source);
    return 0;
}

#define ZD_FUZZ_READER(...)                                                                                    \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)                          \
    {                                                                                                          \
        return FuzzReader<__VA_ARGS__>(data, size);                                                            \
    }
