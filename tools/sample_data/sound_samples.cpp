// The race's sounds under "D:\Tamberlok\soundfx\": the kart's engines and
// effects (mono, since the race plays them in 3D), the countdown beeps and
// the stamper's thump. Each is short and made to sound roughly like what
// it stands for; the engines and the rocket's flight loop without a click.
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/wav_writer.h"
#include "foundation/archive_file.h"
#include "tools/sample_data/sound_synth.h"
#include "tools/sample_data/track_samples.h"

namespace {

using synth::Buffer;
using synth::Wave;

// An engine: a firing pulse at `hertz` (a multiple of 4, so that the pulse
// and its beat repeat exactly every half second), half a second long so
// that it loops seamlessly. The first half second of a second is thrown
// away: by then the filter has settled.
Buffer engine(double hertz, std::uint32_t seed) {
  Buffer b = synth::sum({synth::tone(1.0, hertz, hertz, Wave::Saw), synth::tone(1.0, hertz * 2, hertz * 2)});
  synth::lowPass(b, hertz * 6.0);
  synth::tremolo(b, hertz / 2.0, 0.35);
  b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(b.size() / 2));
  Buffer rumble = synth::noise(0.6, seed);
  synth::lowPass(rumble, 300.0);
  synth::crossfadeLoop(rumble, 0.1);
  rumble.resize(b.size(), 0.0);
  synth::mix(b, rumble, 0.0, 0.25);
  return b;
}

// Blips rising in pitch: something gained.
Buffer pickup() {
  Buffer b;
  const double notes[] = {660.0, 880.0, 1320.0};
  for (int i = 0; i < 3; ++i) {
    Buffer blip = synth::tone(0.07, notes[i], notes[i], Wave::Square);
    synth::lowPass(blip, 3000.0);
    synth::fade(blip, 0.005, 0.02);
    synth::mix(b, blip, 0.06 * i);
  }
  return b;
}

Buffer glide(double seconds, double from, double to, Wave wave, double in, double out) {
  Buffer b = synth::tone(seconds, from, to, wave);
  if (wave != Wave::Sine) synth::lowPass(b, 4000.0);
  synth::fade(b, in, out);
  return b;
}

// A bang: filtered noise and a low thump, dying away.
Buffer bang(double seconds, double brightness, double thump, std::uint32_t seed) {
  Buffer crack = synth::noise(seconds, seed);
  synth::lowPass(crack, brightness);
  synth::decay(crack, seconds / 4.0);
  Buffer low = synth::tone(seconds, thump * 2.0, thump);
  synth::decay(low, seconds / 5.0);
  Buffer b = synth::sum({crack, low});
  synth::fade(b, 0.002, 0.05);
  return b;
}

// A short knock: a low tone and a click.
Buffer knock(double hertz, double seconds, std::uint32_t seed) {
  Buffer body = synth::tone(seconds, hertz * 1.6, hertz);
  synth::decay(body, seconds / 4.0);
  Buffer click = synth::noise(0.02, seed);
  synth::lowPass(click, 2500.0);
  synth::decay(click, 0.004);
  Buffer b = synth::sum({body, click});
  synth::fade(b, 0.001, 0.02);
  return b;
}

// A hiss that swells and fades: air moved.
Buffer whoosh(double seconds, double low, double high, std::uint32_t seed) {
  Buffer b = synth::noise(seconds, seed);
  synth::lowPass(b, high);
  synth::highPass(b, low);
  synth::fade(b, seconds * 0.4, seconds * 0.6);
  return b;
}

// A voice saying "ha" four times, each lower: a laugh.
Buffer laugh() {
  Buffer b;
  for (int i = 0; i < 4; ++i) {
    const double pitch = 230.0 - 15.0 * i;
    Buffer syllable = synth::tone(0.11, pitch, pitch * 0.93, Wave::Saw);
    // Vowel colour: the buzz through a soft band around the first formant.
    synth::lowPass(syllable, 1100.0);
    synth::highPass(syllable, 350.0);
    synth::fade(syllable, 0.012, 0.04);
    synth::mix(b, syllable, 0.17 * i);
  }
  return b;
}

// Bubbles: short rising blips at uneven gaps.
Buffer bubbles() {
  Buffer b;
  const double at[] = {0.0, 0.07, 0.16, 0.21, 0.3};
  for (int i = 0; i < 5; ++i) {
    Buffer blip = synth::tone(0.05, 280.0 + 40.0 * i, 900.0 + 60.0 * i);
    synth::fade(blip, 0.003, 0.015);
    synth::mix(b, blip, at[i]);
  }
  return b;
}

// A rocket's flight: a rushing roar that loops.
Buffer rocketFlight() {
  Buffer roar = synth::noise(1.2, 71u);
  synth::lowPass(roar, 1200.0);
  Buffer hum = synth::tone(1.2, 90.0, 90.0, Wave::Saw);
  synth::lowPass(hum, 400.0);
  Buffer b = synth::sum({roar, hum});
  synth::crossfadeLoop(b, 0.2);
  return b;
}

Buffer shield() {
  Buffer b = synth::sum(
      {synth::tone(1.0, 440.0, 440.0), synth::tone(1.0, 443.0, 443.0), synth::tone(1.0, 660.0, 660.0, Wave::Triangle)});
  synth::tremolo(b, 6.0, 0.5);
  synth::fade(b, 0.1, 0.3);
  return b;
}

Buffer magnet() {
  Buffer b = synth::tone(1.0, 100.0, 100.0, Wave::Square);
  synth::lowPass(b, 500.0);
  synth::tremolo(b, 8.0, 0.6);
  synth::fade(b, 0.05, 0.2);
  return b;
}

Buffer turbo() {
  Buffer rush = whoosh(0.8, 300.0, 3000.0, 41u);
  Buffer rise = glide(0.8, 200.0, 600.0, Wave::Saw, 0.05, 0.3);
  return synth::sum({rush, rise});
}

Buffer launch() {
  Buffer burst = synth::noise(0.5, 53u);
  synth::lowPass(burst, 2500.0);
  synth::fade(burst, 0.01, 0.4);
  Buffer sweep = glide(0.5, 150.0, 80.0, Wave::Saw, 0.005, 0.3);
  return synth::sum({burst, sweep});
}

Buffer falling(double seconds, double from, double to, bool landing) {
  Buffer b = glide(seconds, from, to, Wave::Sine, 0.02, landing ? 0.01 : 0.25);
  if (landing) synth::mix(b, knock(60.0, 0.25, 61u), seconds);
  return b;
}

Buffer wallCrash() {
  Buffer crunch = synth::noise(0.3, 81u);
  synth::lowPass(crunch, 1800.0);
  synth::decay(crunch, 0.08);
  Buffer metal = synth::sum({synth::tone(0.3, 420.0, 410.0), synth::tone(0.3, 1130.0, 1100.0)});
  synth::decay(metal, 0.07);
  Buffer b = synth::sum({crunch, metal});
  synth::fade(b, 0.001, 0.03);
  return b;
}

Buffer shrink() {
  Buffer b = glide(0.6, 1000.0, 250.0, Wave::Triangle, 0.01, 0.15);
  synth::tremolo(b, 12.0, 0.5);
  return b;
}

Buffer beep(double hertz, double seconds) {
  Buffer b = synth::tone(seconds, hertz, hertz);
  synth::fade(b, 0.005, 0.03);
  return b;
}

// The stamper's blow: a deep thump and the clank of iron.
Buffer stamp(double thump, double clank, std::uint32_t seed) {
  Buffer b = bang(0.5, 900.0, thump, seed);
  Buffer ring = synth::tone(0.5, clank, clank * 0.98, Wave::Triangle);
  synth::decay(ring, 0.09);
  synth::mix(b, ring, 0.0, 0.5);
  return b;
}

struct Sound {
  const char* name;
  Buffer pcm;
};

std::vector<Sound> sounds() {
  return {
      {"cart01.wav", engine(80.0, 1u)},
      {"cart02.wav", engine(112.0, 2u)},
      {"cart03.wav", engine(144.0, 3u)},
      {"kart_extra.wav", pickup()},
      {"fallen01.wav", falling(0.9, 1200.0, 200.0, false)},
      {"kart_repos.wav", glide(0.4, 300.0, 1200.0, Wave::Sine, 0.02, 0.1)},
      {"kanone_schrumpfen01.wav", glide(0.35, 900.0, 150.0, Wave::Square, 0.005, 0.08)},
      {"grenade02.wav", bang(0.8, 1500.0, 60.0, 11u)},
      {"turbooil.wav", turbo()},
      {"shield04.wav", shield()},
      {"rakete.wav", launch()},
      {"raketeflug3.wav", rocketFlight()},
      {"kart_hit_rakete.wav", bang(0.6, 2500.0, 70.0, 13u)},
      {"lachen04.wav", laugh()},
      {"kart_speedup.wav",
       synth::sum({whoosh(0.5, 500.0, 5000.0, 17u), glide(0.5, 200.0, 1500.0, Wave::Sine, 0.02, 0.15)})},
      {"kart_hit_objekt.wav", knock(90.0, 0.15, 19u)},
      {"kanone_seife01.wav", bubbles()},
      {"laser_shot.wav", glide(0.25, 2500.0, 300.0, Wave::Square, 0.002, 0.08)},
      {"werfen01.wav", whoosh(0.3, 400.0, 2500.0, 23u)},
      {"magnet.wav", magnet()},
      {"gewicht.wav", falling(0.5, 1500.0, 400.0, true)},
      {"carhit06.wav", knock(150.0, 0.12, 29u)},
      {"kart_hit_wand.wav", wallCrash()},
      {"shrink1.wav", shrink()},
      {"race_count01.wav", beep(880.0, 0.15)},
      {"race_start01.wav", beep(1760.0, 0.5)},
      {"stampfer.wav", stamp(55.0, 600.0, 31u)},
      {"stampfer02.wav", stamp(45.0, 800.0, 37u)},
  };
}

}  // namespace

bool addRaceSoundSamples(ArchiveWriter& writer) {
  bool ok = true;
  for (const Sound& sound : sounds()) {
    const std::vector<std::uint8_t> wav = writeWav(WavDescription{}, pcm16Bytes(synth::toPcm16(sound.pcm)));
    // Range coding alone: block sorting gains little on sampled sound.
    ok = ok && writer.add(toArchiveName((std::string("D:\\Tamberlok\\soundfx\\") + sound.name).c_str()), wav, 1);
  }
  return ok;
}
