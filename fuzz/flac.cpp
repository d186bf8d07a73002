#include "FuzzReader.hpp"
#include "audio/info/TFLAC.hpp"

// The stream facts and the comment block.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzReader<zd::TFLAC>(data, size, true);
}
