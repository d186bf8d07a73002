#include "FuzzReader.hpp"
#include "audio/info/TCDAInfo.hpp"

ZD_FUZZ_READER(zd::TCDAInfo)
