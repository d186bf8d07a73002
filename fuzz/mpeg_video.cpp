#include "FuzzReader.hpp"
#include "audio/info/TMPEGVideo.hpp"

ZD_FUZZ_READER(zd::TMPEGVideo)
