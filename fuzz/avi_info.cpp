#include "FuzzReader.hpp"
#include "audio/info/TAVIInfo.hpp"

ZD_FUZZ_READER(zd::TAVIInfo)
