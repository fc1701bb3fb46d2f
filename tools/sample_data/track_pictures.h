// The tracks' pictures for the menus, drawn from the position maps the tool
// writes for the tracks (road over ground, the start line checkered), and a
// "no track yet" picture for a track the tool does not generate.
#pragma once

#include <cstdint>
#include <vector>

// The position map of the track with file number 1..8 (512 x 512, one byte
// per pixel, 0 off the road, rising along the lap), framed on its road, or
// empty for another number.
std::vector<std::uint8_t> samplePositionMap(int fileNumber);
