#include "FuzzReader.hpp"
#include "audio/info/TWAVInfo.hpp"

ZD_FUZZ_READER(zd::TWAVInfo)
