#include "FuzzReader.hpp"
#include "audio/tags/TMP3Tags.hpp"

ZD_FUZZ_READER(zd::TMP3Tags)
