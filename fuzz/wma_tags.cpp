#include "FuzzReader.hpp"
#include "audio/tags/TWMAfile.hpp"

ZD_FUZZ_READER(zd::TWMAfile)
