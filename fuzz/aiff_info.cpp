#include "FuzzReader.hpp"
#include "audio/info/TAIFFInfo.hpp"

ZD_FUZZ_READER(zd::TAIFFInfo)
