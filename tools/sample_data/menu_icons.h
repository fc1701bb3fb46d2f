// The small drawn symbols: the main menu's entry icons and the extras'
// pictures.
#pragma once

#include <string>

#include "tools/sample_data/picture_canvas.h"

// Icon of main-menu entry 0..7 (stopwatch, crossed flags, cup, two
// helmets, network, podium, gears, scroll) in `ink`, centred on (cx, cy),
// about `size` pixels across.
void menuIcon(Canvas& canvas, int entry, float cx, float cy, float size, std::uint32_t ink);

// A 96 x 96 picture of the extra named as in the "Extras" imageset
// ("Extra_Shield" ...); "Extra_None" is clear.
Canvas extraIcon(const std::string& name);
