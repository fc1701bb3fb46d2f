// The highscores and options screens' data: the six end pictures, one plain
// colour per championship character.
#include "tools/sample_data/screen_samples.h"

#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/sample_sources.h"

namespace {

constexpr const char* kEndPictures[] = {"Endscreen_Quorrel", "Endscreen_Affe",    "Endscreen_Alien",
                                        "Endscreen_Kroet",   "Endscreen_Pumpkin", "Endscreen_Tod"};
constexpr std::uint32_t kEndColours[] = {0xFFC0C0C0, 0xFF805030, 0xFF30B060, 0xFF508020, 0xFFE07010, 0xFF503070};

}  // namespace

std::uint32_t sampleEndPictureColour(int character) { return kEndColours[character]; }

bool addScreenSamples(ArchiveWriter& writer) {
  bool ok = true;
  for (int c = 0; c < 6; ++c) {
    const SampleImage background[] = {{"Background", kEndColours[c]}};
    ok = ok && addSampleImageset(writer, kEndPictures[c], background);
  }
  return ok;
}
