// The menu's data: its ten imagesets, the 3D preview scenes of the eight
// karts (a kart under a null item "motor", so the engine class can scale
// it) and the six characters, each with a camera, the two tunes and the
// click.
#include "tools/sample_data/menu_samples.h"

#include <cmath>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/lwo2_writer.h"
#include "content/lws_writer.h"
#include "content/ogg_vorbis_writer.h"
#include "content/wav_writer.h"
#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_sources.h"

namespace {

const std::string kMenu = "D:\\Tamberlok\\menu\\";

constexpr std::uint32_t kKartColours[8] = {0xD02020, 0x20D020, 0x2020D0, 0xD0D020,
                                           0xD020D0, 0x20D0D0, 0xE08040, 0x8040E0};
constexpr std::uint32_t kCharacterColours[6] = {0xF0F0F0, 0x806040, 0x40C080, 0x608020, 0xF08000, 0x404040};
const char* const kCharacterNames[6] = {"quorrel", "affe", "alien", "kroet", "pumpkin", "tod"};

// A luminous square of half-size `h` facing a camera that looks along +z.
std::vector<std::uint8_t> square(std::uint32_t rgb, float h) {
  lwo2::Writer w;
  w.tags({"Paint"});
  w.layer(0);
  w.points({{-h, -h, 0}, {-h, h, 0}, {h, h, 0}, {h, -h, 0}});
  w.polygons({{0, 1, 2, 3}});
  w.polygonSurfaces({{0, 0}});
  lwo2::Surface s("Paint");
  s.colour(static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
           static_cast<float>(rgb & 0xFF) / 255.0f);
  s.value("LUMI", 1.0f);
  s.value("DIFF", 0.0f);
  w.surface(s);
  return w.bytes();
}

bool addScenes(ArchiveWriter& writer) {
  bool ok = true;
  for (int k = 0; k < 8; ++k) {
    const std::string number = std::string(k < 9 ? "0" : "") + std::to_string(k + 1);
    const std::string model = "menu_kart_" + number + ".lwo";
    ok = ok && writer.add(kMenu + model, square(kKartColours[k], 1.0f));
    lws::SceneWriter w;
    w.addNullObject("motor");
    w.motion("ObjectMotion", lws::still(0, 0, 4));
    w.loadObjectLayer(1, "D:\\Tamberlok/menu/" + model);
    w.motion("ObjectMotion", lws::still(0, 0, 0));
    w.itemId("ParentItem", lws::objectId(0));
    w.camera({});
    ok = ok && writer.add(kMenu + "menu_chr_sel_kart_" + number + ".lws", w.text());
  }
  for (int c = 0; c < 6; ++c) {
    const std::string model = std::string("menu_chr_") + kCharacterNames[c] + ".lwo";
    ok = ok && writer.add(kMenu + model, square(kCharacterColours[c], 0.3f));
    lws::SceneWriter w;
    w.loadObjectLayer(1, "D:\\Tamberlok/menu/" + model);
    // Up and to the left of the kart, so both show in one preview.
    w.motion("ObjectMotion", lws::still(-1.2f, 0.9f, 4));
    w.camera({});
    ok = ok && writer.add(kMenu + "menu_chr_sel_" + kCharacterNames[c] + ".lws", w.text());
  }
  return ok;
}

bool addImagesets(ArchiveWriter& writer) {
  bool ok = true;
  for (const char* name : {"splash", "main", "Highscores", "Options", "Credits", "HelpScreen", "Championship",
                           "Brenn6_logo", "Extras", "Tracks"})
    ok = ok && addPictureImageset(writer, name, drawImageset(name));
  return ok;
}

// A quiet tone: the menu needs sounds that load, not music.
std::vector<std::int16_t> tone(int samples, double hertz, int rate) {
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(samples));
  for (int i = 0; i < samples; ++i)
    pcm[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(2000.0 * std::sin(6.2831853 * hertz * i / rate));
  return pcm;
}

bool addSounds(ArchiveWriter& writer) {
  const auto menu = encodeOggVorbis(tone(22050, 440, 22050), 1, 22050);
  const auto highscore = encodeOggVorbis(tone(22050, 660, 22050), 1, 22050);
  const auto click = writeWav(WavDescription{}, pcm16Bytes(tone(1100, 1000, 22050)));
  return !menu.empty() && !highscore.empty() && writer.add("D:\\Tamberlok\\musics\\menu.ogg", menu, 0) &&
         writer.add("D:\\Tamberlok\\musics\\highscore.ogg", highscore, 0) &&
         writer.add("D:\\Tamberlok\\soundfx\\button06.wav", click, 0);
}

}  // namespace

std::uint32_t sampleKartColour(int kart) { return kKartColours[kart]; }
std::uint32_t sampleCharacterColour(int character) { return kCharacterColours[character]; }

bool addMenuSamples(ArchiveWriter& writer) { return addImagesets(writer) && addScenes(writer) && addSounds(writer); }
