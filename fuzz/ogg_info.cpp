#include "FuzzReader.hpp"
#include "audio/info/TOggInfo.hpp"

ZD_FUZZ_READER(zd::TOggInfo)
