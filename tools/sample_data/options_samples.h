// The highscores and options screens' sample data.
#pragma once

#include <cstdint>
#include <string>

// 0xAARRGGBB of character 0..5: the colour its end picture is drawn in.
std::uint32_t sampleEndPictureColour(int character);
// The options screen's controls (slider, radio button, combo box): their
// look file "QuillfenControls.looknfeel", and the scheme's entries that load
// it and map the window types.
std::string screenControlLooks();
std::string screenControlsSchemeEntries();
