#pragma once

// Marked text (IsMarked, HasHighBytes, MarkIfHigh, MarkedToWide,
// WideToMarked, ContainsText) lives with the common helpers, which use it
// too; this header is the audio library's entry to it.
#include "common/MarkedText.hpp"
