#include "FuzzReader.hpp"
#include "audio/info/TASFInfo.hpp"

ZD_FUZZ_READER(zd::TASFInfo)
