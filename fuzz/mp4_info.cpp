#include "FuzzReader.hpp"
#include "audio/info/TMP4Info.hpp"

ZD_FUZZ_READER(zd::TMP4Info)
