#include "FuzzReader.hpp"
#include "audio/info/TOTSInfo.hpp"

ZD_FUZZ_READER(zd::TOTSInfo)
