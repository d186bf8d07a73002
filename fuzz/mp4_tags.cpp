#include "FuzzReader.hpp"
#include "audio/tags/TMP4Tags.hpp"

ZD_FUZZ_READER(zd::TMP4Tags)
