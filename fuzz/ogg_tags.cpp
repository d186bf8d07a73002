#include "FuzzReader.hpp"
#include "audio/tags/TOggTags.hpp"

ZD_FUZZ_READER(zd::TOggTags)
