// Picture targets decode at most 256 x 256 pixels: a few header bytes that
// claim a huge picture would otherwise make each run fill tens of megabytes
// and the fuzzer would crawl at a few inputs per second.
#pragma once

#include "foundation/file_data.h"

inline void limitFuzzPictures() { setImagePixelLimit(256 * 256); }
