// The music under "D:\Tamberlok\musics\": a short tune per track and for
// the menu and the highscores, four bars that loop, a lead, a bass and
// drums in the place's mood (a stone-age marimba over toms, a reed over a
// hand drum in the desert, brass in the circus, a flute jig in the forest,
// a shanty on the island, a harmonica gallop in the west, bells on the
// pass, a wobbling theremin at the landing site), encoded as Ogg Vorbis.
#include <cmath>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/ogg_vorbis_writer.h"
#include "foundation/archive_file.h"
#include "tools/sample_data/sound_synth.h"
#include "tools/sample_data/track_samples.h"

namespace {

using synth::Buffer;
using synth::Wave;

constexpr int kSteps = 32;  // eighth notes: four bars

struct Tune {
  int track;               // the track index it plays on, or -1
  const char* file;        // the music file when it plays on no track
  double stepSeconds;      // one eighth note
  double root;             // Hz of scale degree 0
  std::vector<int> scale;  // semitones of the degrees in one octave
  // Per step: a scale degree (may pass the octave), or -1 for none.
  int melody[kSteps];
  int bass[kSteps];
  const char* kick;  // 'x' strikes
  const char* snare;
  const char* hat;
  Wave lead;
  double leadDecay;  // seconds
  double vibrato;    // depth in semitones
};

double degreeHertz(const Tune& tune, int degree) {
  const int size = static_cast<int>(tune.scale.size());
  const int octave = degree >= 0 ? degree / size : -((-degree + size - 1) / size);
  const int semitones = 12 * octave + tune.scale[static_cast<std::size_t>(degree - octave * size)];
  return tune.root * std::pow(2.0, semitones / 12.0);
}

Buffer leadNote(const Tune& tune, double hertz, double seconds) {
  Buffer b = synth::tone(seconds, hertz, hertz, tune.lead);
  if (tune.vibrato > 0) {
    // A slow wobble, mixed in as a slightly detuned second voice.
    Buffer wobble = synth::tone(seconds, hertz * std::pow(2.0, tune.vibrato / 12.0), hertz, tune.lead);
    synth::mix(b, wobble, 0.0, 0.5);
  }
  if (tune.lead != Wave::Sine) synth::lowPass(b, hertz * 5.0);
  // A marimba's bright strike: a soft octave-and-a-fifth overtone.
  if (tune.lead == Wave::Sine) synth::mix(b, synth::tone(seconds, hertz * 3.0, hertz * 3.0), 0.0, 0.25);
  synth::fade(b, 0.01, 0.03);
  synth::decay(b, tune.leadDecay);
  return b;
}

Buffer bassNote(double hertz, double seconds) {
  Buffer b = synth::sum({synth::tone(seconds, hertz, hertz), synth::tone(seconds, hertz, hertz, Wave::Saw)});
  synth::lowPass(b, hertz * 3.0);
  synth::fade(b, 0.01, 0.05);
  synth::decay(b, seconds * 0.8);
  return b;
}

Buffer kick() {
  Buffer b = synth::tone(0.18, 120.0, 45.0);
  synth::decay(b, 0.06);
  synth::fade(b, 0.001, 0.02);
  return b;
}

Buffer snare(std::uint32_t seed) {
  Buffer b = synth::noise(0.15, seed);
  synth::highPass(b, 1200.0);
  synth::mix(b, synth::tone(0.15, 220.0, 180.0), 0.0, 0.6);
  synth::decay(b, 0.04);
  synth::fade(b, 0.001, 0.02);
  return b;
}

Buffer hat(std::uint32_t seed) {
  Buffer b = synth::noise(0.05, seed);
  synth::highPass(b, 6000.0);
  synth::decay(b, 0.012);
  return b;
}

Buffer render(const Tune& tune) {
  const double length = tune.stepSeconds * kSteps;
  Buffer out = synth::silence(length);
  for (int step = 0; step < kSteps; ++step) {
    const double at = step * tune.stepSeconds;
    if (tune.melody[step] >= 0) {
      int steps = 1;  // held until the next note
      while (step + steps < kSteps && tune.melody[step + steps] < 0 && steps < 4) ++steps;
      synth::mix(out, leadNote(tune, degreeHertz(tune, tune.melody[step]), steps * tune.stepSeconds), at, 0.5);
    }
    if (tune.bass[step] >= 0)
      synth::mix(out, bassNote(degreeHertz(tune, tune.bass[step]) / 4.0, 2 * tune.stepSeconds), at, 0.6);
    if (tune.kick[step] == 'x') synth::mix(out, kick(), at, 0.9);
    if (tune.snare[step] == 'x') synth::mix(out, snare(static_cast<std::uint32_t>(step)), at, 0.35);
    if (tune.hat[step] == 'x') synth::mix(out, hat(static_cast<std::uint32_t>(100 + step)), at, 0.2);
  }
  // What rings past the end sounds again at the start, as when it loops.
  const auto loop = static_cast<std::size_t>(synth::samplesFor(length));
  for (std::size_t i = loop; i < out.size(); ++i) out[i - loop] += out[i];
  out.resize(loop);
  return out;
}

std::vector<Tune> tunes() {
  const int _ = -1;
  return {
      // Stone age: minor pentatonic on A, marimba over toms.
      {0,
       nullptr,
       0.25,
       220.0,
       {0, 3, 5, 7, 10},
       {0, _, 2, 3, 4, _, 3, 2, 0, _, 2, _, 1, _, _, _, 3, _, 4, 5, 6, _, 5, 4, 3, _, 2, _, 0, _, _, _},
       {0, _, _, _, 0, _, 3, _, 2, _, _, _, 2, _, 1, _, 3, _, _, _, 3, _, 4, _, 0, _, _, _, 0, _, 2, _},
       "x___x_x_x___x_x_x___x_x_x___x_xx",
       "__x___x___x___x___x___x___x___x_",
       "________________________________",
       Wave::Sine,
       0.18,
       0.0},
      // Desert: a Hijaz scale on D, a reed over a hand drum.
      {1,
       nullptr,
       0.22,
       293.66,
       {0, 1, 4, 5, 7, 8, 10},
       {4, _, 5, 4, 2, _, 1, 0, 1, _, 2, _, 4, _, _, _, 7, _, 6, 5, 4, _, 5, 4, 2, 1, 0, _, 1, 2, 0, _},
       {0, _, _, _, 0, _, _, 4, 0, _, _, _, 0, _, 3, _, 0, _, _, _, 0, _, _, 4, 0, _, _, _, 3, _, 1, _},
       "x_____x_x_____x_x_____x_x_____x_",
       "___x_x_____x_x_____x_x_____x_x__",
       "_x_x_x_x_x_x_x_x_x_x_x_x_x_x_x_x",
       Wave::Saw,
       0.5,
       0.3},
      // Forest: a jig in G major on a flute.
      {3,
       nullptr,
       0.2,
       392.0,
       {0, 2, 4, 5, 7, 9, 11},
       {0, 2, 4, 7, 4, 2, 3, 5, 7, 5, 4, 2, 1, _, 0, _, 4, 5, 7, 9, 7, 5, 4, 2, 3, 1, 6, 4, 0, _, _, _},
       {0, _, _, 0, _, _, 3, _, _, 3, _, _, 4, _, _, 4, _, _, 0, _, _, 0, _, _, 3, _, _, 4, _, _, 0, _},
       "x_____x_____x_____x_____x_____x_",
       "___x_____x_____x_____x_____x____",
       "x_xx_xx_xx_xx_xx_xx_xx_xx_xx_xx_",
       Wave::Triangle,
       0.3,
       0.0},
      // Circus: a brass fanfare in D mixolydian over a march.
      {2,
       nullptr,
       0.21,
       293.66,
       {0, 2, 4, 5, 7, 9, 10},
       {0, _, 0, 2, 4, _, 4, _, 7, _, 4, _, 2, _, _, _, 4, _, 4, 5, 7, _, 9, _, 10, _, 9, 7, 4, _, _, _},
       {0, _, 4, _, 0, _, 4, _, 3, _, 0, _, 4, _, 1, _, 0, _, 4, _, 0, _, 4, _, 6, _, 4, _, 0, _, 4, _},
       "x___x___x___x___x___x___x___x___",
       "__x___x___x___x___x___x___x_xxx_",
       "x_x_x_x_x_x_x_x_x_x_x_x_x_x_x_x_",
       Wave::Saw,
       0.35,
       0.0},
      // Island: a shanty in D dorian on a squeezebox.
      {4,
       nullptr,
       0.19,
       293.66,
       {0, 2, 3, 5, 7, 9, 10},
       {4, _, 4, 3, 2, _, 0, _, 2, _, 3, 4, 5, _, 4, _, 4, _, 4, 3, 2, _, 0, _, 1, _, 2, _, 0, _, _, _},
       {0, _, _, 4, _, _, 0, _, _, 4, _, _, 3, _, _, 6, _, _, 0, _, _, 4, _, _, 4, _, _, 4, _, _, 0, _},
       "x_____x_____x_____x_____x_____x_",
       "___x_____x_____x_____x_____x____",
       "x__x__x__x__x__x__x__x__x__x__x_",
       Wave::Square,
       0.25,
       0.15},
      // West: a harmonica gallop in G major pentatonic.
      {5,
       nullptr,
       0.17,
       392.0,
       {0, 2, 4, 7, 9},
       {0, _, 1, 2, 3, _, 2, 1, 0, _, _, _, 2, _, 4, 3, 2, _, 1, 0, 1, _, 2, _, 0, _, _, _, _, _, _, _},
       {0, _, 3, _, 0, _, 3, _, 0, _, 3, _, 1, _, 3, _, 0, _, 3, _, 0, _, 3, _, 3, _, 1, _, 0, _, 3, _},
       "x_xxx_xxx_xxx_xxx_xxx_xxx_xxx_xx",
       "____x_______x_______x_______x___",
       "________________________________",
       Wave::Square,
       0.15,
       0.2},
      // Pass: temple bells in a pentatonic scale on A, slow and wide.
      {6,
       nullptr,
       0.3,
       440.0,
       {0, 2, 5, 7, 9},
       {0, _, _, 2, 4, _, _, _, 3, _, _, 2, 1, _, _, _, 2, _, _, 4, 5, _, _, _, 4, _, 2, _, 0, _, _, _},
       {0, _, _, _, _, _, _, _, 3, _, _, _, _, _, _, _, 4, _, _, _, _, _, _, _, 0, _, _, _, 3, _, _, _},
       "x_______________x_______________",
       "________x_______________x_______",
       "____x_______x_______x_______x___",
       Wave::Sine,
       0.6,
       0.0},
      // Landing site: a theremin in a whole-tone scale over a pulse.
      {7,
       nullptr,
       0.23,
       311.13,
       {0, 2, 4, 6, 8, 10},
       {0, _, _, _, 3, _, 2, _, 5, _, _, _, 4, _, _, _, 3, _, 4, _, 6, _, _, _, 5, _, 3, _, 1, _, _, _},
       {0, 0, _, 0, 0, _, 0, _, 2, 2, _, 2, 2, _, 2, _, 4, 4, _, 4, 4, _, 4, _, 3, 3, _, 3, 1, _, 1, _},
       "x_______x_______x_______x_______",
       "____x_______x_______x_______x___",
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
       Wave::Saw,
       0.4,
       0.5},
      // Menu: a bright, bouncing tune in C major.
      {-1,
       "D:\\Tamberlok\\musics\\menu.ogg",
       0.2,
       523.25,
       {0, 2, 4, 5, 7, 9, 11},
       {0, _, 2, 4, _, 4, 5, 4, 2, _, 0, _, 1, _, _, _, 3, _, 4, 5, _, 5, 7, 5, 4, _, 2, 1, 0, _, _, _},
       {0, _, _, _, 4, _, _, _, 5, _, _, _, 4, _, _, _, 3, _, _, _, 0, _, _, _, 4, _, _, _, 0, _, _, _},
       "x_______x_______x_______x_______",
       "____x_______x_______x_______x___",
       "x_x_x_x_x_x_x_x_x_x_x_x_x_x_x_x_",
       Wave::Triangle,
       0.22,
       0.0},
      // Highscores: a triumphant rising arpeggio in F major.
      {-1,
       "D:\\Tamberlok\\musics\\highscore.ogg",
       0.19,
       349.23,
       {0, 2, 4, 5, 7, 9, 11},
       {0, 2, 4, 7, 4, 7, 9, _, 7, _, _, _, 5, 7, 9, 11, 9, 11, 14, _, 11, _, _, _, 7, _, 9, _, 7, _, _, _},
       {0, _, _, _, 0, _, _, _, 3, _, _, _, 4, _, _, _, 0, _, _, _, 5, _, _, _, 4, _, _, _, 0, _, _, _},
       "x___x___x___x___x___x___x___x_x_",
       "____x_______x_______x_______x___",
       "__x___x___x___x___x___x___x___x_",
       Wave::Saw,
       0.25,
       0.0},
  };
}

}  // namespace

bool addMusicSamples(ArchiveWriter& writer) {
  bool ok = true;
  for (const Tune& tune : tunes()) {
    const SampleTrack* track = findSampleTrack(tune.track);
    if (!track && !tune.file) return false;
    const std::string file = track ? musicFile(*track) : tune.file;
    const std::vector<std::uint8_t> ogg = encodeOggVorbis(synth::toPcm16(render(tune), 0.7), 1, synth::kRate, 0.1f);
    // Already compressed: stored as it is.
    ok = ok && !ogg.empty() && writer.add(toArchiveName(file.c_str()), ogg, 0);
  }
  return ok;
}
