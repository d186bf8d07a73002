#include "FuzzReader.hpp"
#include "audio/tags/TWAVTags.hpp"

ZD_FUZZ_READER(zd::TWAVTags)
