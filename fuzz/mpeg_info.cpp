#include "FuzzReader.hpp"
#include "audio/info/TMPEGInfo.hpp"

ZD_FUZZ_READER(zd::TMPEGInfo)
