#include "bench/foundation/game_data_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

// splitmix64: fully specified here, unlike the standard distributions,
// whose results differ between library implementations.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < n.
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
  // 0 <= result < 1.
  double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  // Small indices far more often than large ones, as words in a language.
  std::uint32_t skewed(std::uint32_t n) {
    const double u = unit();
    return std::min(n - 1, static_cast<std::uint32_t>(n * u * u * u));
  }

 private:
  std::uint64_t m_state;
};

// A sine-like wave of period 2 pi from parabola halves: plain arithmetic,
// which rounds the same everywhere, where std::sin may differ in the last
// bit between libraries and so change the corpus.
double wave(double t) {
  double u = t / 6.283185307179586;
  u -= std::floor(u);
  return u < 0.5 ? 16 * u * (0.5 - u) : -16 * (u - 0.5) * (1 - u);
}
double cosineWave(double t) { return wave(t + 1.5707963267948966); }

void append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
  return buffer;
}

void appendFloat(Bytes& out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

std::vector<std::string> makeWords(Generator& rng, int count) {
  static const char* const syllables[] = {"ka", "ro",  "tes", "sa",  "li", "ne", "mar", "to", "ben", "dri",
                                          "ve", "lap", "pit", "cup", "ra", "ce", "on",  "ex", "tra", "spe"};
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i) {
    std::string word;
    const int parts = 1 + static_cast<int>(rng.below(3));
    for (int p = 0; p < parts; ++p) word += syllables[rng.below(20)];
    words.push_back(word);
  }
  return words;
}

// Menu entries, help pages and language tables: sentences of common words,
// some as "key = value" lines.
Bytes makeText(Generator& rng, std::size_t size) {
  static const std::vector<std::string> words = [] {
    Generator wordRng(7);
    return makeWords(wordRng, 600);
  }();
  Bytes out;
  while (out.size() < size) {
    if (rng.below(4) == 0) append(out, "menu_" + words[rng.skewed(600)] + "_" + std::to_string(rng.below(40)) + " = ");
    const int length = 4 + static_cast<int>(rng.below(14));
    for (int w = 0; w < length; ++w) {
      std::string word = words[rng.skewed(600)];
      if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
      append(out, word);
      append(out, w + 1 == length ? (rng.below(3) ? "." : "!") : (rng.below(9) ? " " : ", "));
    }
    append(out, rng.below(3) ? "\n" : " ");
  }
  out.resize(size);
  return out;
}

// Scenes in text form: objects loaded by path, then motion channels whose
// keys drift smoothly, printed with fixed decimals.
Bytes makeScene(Generator& rng, std::size_t size) {
  Bytes out;
  append(out, "LWSC\n3\n\nFirstFrame 1\nLastFrame 240\nFrameStep 1\nFramesPerSecond 30\n\n");
  int object = 0;
  while (out.size() < size) {
    append(out, "LoadObjectLayer 1 Objects\\Track\\segment_" + std::to_string(100 + object++ % 400) + ".lwo\n");
    append(out, "ShowObject 6 " + std::to_string(rng.below(8)) + "\nObjectMotion\nNumChannels 9\n");
    double value[9];
    for (double& v : value) v = (rng.unit() - 0.5) * 200.0;
    for (int channel = 0; channel < 9; ++channel) {
      append(out, "Channel " + std::to_string(channel) + "\n{ Envelope\n");
      const int keys = 1 + static_cast<int>(rng.below(6));
      append(out, "  " + std::to_string(keys) + "\n");
      for (int k = 0; k < keys; ++k) {
        value[channel] += (rng.unit() - 0.5) * 4.0;
        append(out, format("  Key %.6f %.4f 0 0 0 0 0 0 0\n", value[channel], k * 0.5));
      }
      append(out, "  Behaviors 1 1\n}\n");
    }
    append(out, format("PivotPosition %.3f %.3f %.3f\n", rng.unit(), rng.unit(), rng.unit()));
    append(out, "ShadowOptions 7\n\n");
  }
  out.resize(size);
  return out;
}

// Object meshes: a grid over a smooth surface, each vertex position,
// normal and texture coordinate as 32-bit floats, then 16-bit triangle
// indices.
Bytes makeMesh(Generator& rng, std::size_t size) {
  Bytes out;
  while (out.size() < size) {
    const int columns = 8 + static_cast<int>(rng.below(56));
    const int rows = 8 + static_cast<int>(rng.below(56));
    const double scale = 0.25 + rng.unit() * 2.0;
    const double phase = rng.unit() * 6.28;
    appendFloat(out, static_cast<float>(columns * rows));
    for (int j = 0; j < rows; ++j) {
      for (int i = 0; i < columns; ++i) {
        const double x = i * scale, z = j * scale;
        const double y = 3.0 * wave(x * 0.15 + phase) * cosineWave(z * 0.11) + (rng.unit() - 0.5) * 0.01;
        const double dx = 0.45 * cosineWave(x * 0.15 + phase) * cosineWave(z * 0.11);
        const double dz = -0.33 * wave(x * 0.15 + phase) * wave(z * 0.11);
        const double length = std::sqrt(dx * dx + 1.0 + dz * dz);
        for (double v : {x, y, z, -dx / length, 1.0 / length, -dz / length, static_cast<double>(i) / (columns - 1),
                         static_cast<double>(j) / (rows - 1)})
          appendFloat(out, static_cast<float>(v));
      }
    }
    for (int j = 0; j + 1 < rows; ++j) {
      for (int i = 0; i + 1 < columns; ++i) {
        const int a = j * columns + i, b = a + 1, c = a + columns, d = c + 1;
        for (int index : {a, c, b, b, c, d}) {
          out.push_back(static_cast<std::uint8_t>(index));
          out.push_back(static_cast<std::uint8_t>(index >> 8));
        }
      }
    }
  }
  out.resize(size);
  return out;
}

// Textures as stored uncompressed: 24-bit pixels with smooth shading, a
// little grain and hard-edged panels; every other file an 8-bit track map
// of flat regions.
Bytes makePicture(Generator& rng, std::size_t size, bool map) {
  Bytes out;
  const int width = 256;
  if (map) {
    // Regions around a few centres, as a map's surface kinds.
    int cx[12], cy[12];
    for (int k = 0; k < 12; ++k) {
      cx[k] = static_cast<int>(rng.below(width));
      cy[k] = static_cast<int>(rng.below(4096));
    }
    for (int y = 0; out.size() < size; ++y) {
      for (int x = 0; x < width; ++x) {
        int best = 0, bestDistance = 1 << 30;
        for (int k = 0; k < 12; ++k) {
          const int distance = (x - cx[k]) * (x - cx[k]) + (y % 4096 - cy[k]) * (y % 4096 - cy[k]);
          if (distance < bestDistance) bestDistance = distance, best = k;
        }
        out.push_back(static_cast<std::uint8_t>(best * 17 + 3));
      }
    }
  } else {
    const double hue = rng.unit() * 6.28;
    for (int y = 0; out.size() < size; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool panel = ((x / 64) + (y / 48)) % 3 == 0;
        const double shade = 0.5 + 0.25 * wave(x * 0.03 + hue) + 0.2 * cosineWave(y * 0.02);
        const int grain = static_cast<int>(rng.below(9)) - 4;
        for (int channel = 0; channel < 3; ++channel) {
          const double base = panel ? 40.0 + 30.0 * channel : 90.0 + 50.0 * wave(hue + channel * 2.1);
          const int value = static_cast<int>(base * shade * 1.6) + grain;
          out.push_back(static_cast<std::uint8_t>(std::clamp(value, 0, 255)));
        }
      }
    }
  }
  out.resize(size);
  return out;
}

// Sound and JPEG payloads: a short header, then bytes with no structure left.
Bytes makeCompressed(Generator& rng, std::size_t size, bool sound) {
  Bytes out;
  append(out, sound ? "OggS" : "\xFF\xD8\xFF\xE0");
  while (out.size() < size) {
    const std::uint64_t word = rng.next();
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
  }
  out.resize(size);
  return out;
}

}  // namespace

const std::vector<std::string>& corpusKindNames() {
  static const std::vector<std::string> names = {"text", "scene", "mesh", "picture", "compressed"};
  return names;
}

std::vector<CorpusFile> makeGameDataCorpus(std::size_t bytesPerKind) {
  std::vector<CorpusFile> corpus;
  for (int kind = 0; kind < static_cast<int>(corpusKindNames().size()); ++kind) {
    Generator rng(1000 + static_cast<std::uint64_t>(kind));
    std::size_t made = 0;
    for (int file = 0; made < bytesPerKind; ++file) {
      // 4 KB to 1 MB, small files more common.
      const std::size_t size = std::min<std::size_t>(std::size_t{4096} << rng.skewed(9), bytesPerKind - made);
      Bytes data;
      switch (kind) {
        case 0:
          data = makeText(rng, size);
          break;
        case 1:
          data = makeScene(rng, size);
          break;
        case 2:
          data = makeMesh(rng, size);
          break;
        case 3:
          data = makePicture(rng, size, file % 2 == 1);
          break;
        default:
          data = makeCompressed(rng, size, file % 2 == 1);
          break;
      }
      made += data.size();
      corpus.push_back({corpusKindNames()[kind] + "\\" + std::to_string(file) + ".dat", kind, std::move(data)});
    }
  }
  return corpus;
}
