#include "FuzzReader.hpp"
#include "audio/info/TAPEInfo.hpp"

ZD_FUZZ_READER(zd::TAPEInfo)
