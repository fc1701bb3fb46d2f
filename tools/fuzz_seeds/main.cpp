// tessaline-fuzz-seeds [--check] CORPUS: writes the fuzz seeds that are made
// rather than found into CORPUS/<target>/ (fuzz/corpus in the tree): the
// pictures and sounds through the content writers (the hostile ones of
// content/hostile_media among them), relay streams through the message
// writer, registry files as text, the GUI's files and the race's point and
// tuning files as the sample data writes them, and file sets of scenes and
// objects with the files they name. With --check nothing is written; the
// program fails when a file differs from what it would write, so a change
// to a writer shows up as seeds to regenerate.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "content/archive_writer.h"
#include "content/bmp_writer.h"
#include "content/byte_writer.h"
#include "content/hostile_media.h"
#include "content/jpeg_writer.h"
#include "content/lwo2_writer.h"
#include "content/lws_writer.h"
#include "content/ogg_vorbis_writer.h"
#include "content/pcx_writer.h"
#include "foundation/archive_file.h"
#include "fuzz/byte_file.h"
#include "fuzz/file_set.h"
#include "net/message.h"
#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "tools/sample_data/sample_sources.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Seed {
  std::string path;  // below the corpus folder
  Bytes bytes;
};

Bytes cut(Bytes bytes, std::size_t size) {
  bytes.resize(std::min(size, bytes.size()));
  return bytes;
}

// Colours and indices that change along both axes, so every row and column
// of a seed differs from its neighbours.
std::vector<std::uint32_t> rgbPattern(int width, int height) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.push_back(static_cast<std::uint32_t>((x * 255 / width) << 16 | (y * 255 / height) << 8 | (x ^ y) * 17));
  return pixels;
}

std::vector<std::uint8_t> indexPattern(int width, int height, int colours, int run) {
  std::vector<std::uint8_t> indices;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) indices.push_back(static_cast<std::uint8_t>((x / run + y * 3) % colours));
  return indices;
}

std::vector<std::uint32_t> palette(int colours) {
  std::vector<std::uint32_t> entries;
  for (int i = 0; i < colours; ++i)
    entries.push_back(static_cast<std::uint32_t>(i << 16 | (255 - i) << 8 | (i * 7 & 0xFF)));
  return entries;
}

void addPictures(std::vector<Seed>& seeds) {
  seeds.push_back({"pcx/map_8x4.pcx", writePcx8(8, 4, indexPattern(8, 4, 256, 1), palette(256))});
  seeds.push_back({"pcx/odd_5x3_nopalette.pcx",
                   writePcx8(5, 3, indexPattern(5, 3, 16, 1), palette(16), {.bytesPerLine = 0, .withPalette = false})});
  seeds.push_back({"pcx/runs_64x8.pcx", writePcx8(64, 8, indexPattern(64, 8, 200, 9), palette(200))});
  seeds.push_back({"pcx/truncated_16x16.pcx", cut(writePcx8(16, 16, indexPattern(16, 16, 256, 1), palette(256)), 200)});

  seeds.push_back({"jpeg/colour_24x16.jpg", writeJpegRgb(24, 16, rgbPattern(24, 16))});
  seeds.push_back({"jpeg/grey_16x16.jpg", writeJpegGrey(16, 16, indexPattern(16, 16, 256, 1))});
  seeds.push_back(
      {"jpeg/progressive_16x16.jpg", writeJpegRgb(16, 16, rgbPattern(16, 16), {.quality = 75, .progressive = true})});
  const Bytes whole = writeJpegRgb(32, 32, rgbPattern(32, 32));
  seeds.push_back({"jpeg/truncated_32x32.jpg", cut(whole, whole.size() * 2 / 3)});

  seeds.push_back(
      {"bmp/indexed16_5x3_topdown.bmp", writeBmp8(5, 3, indexPattern(5, 3, 16, 1), palette(16), {.topDown = true})});
  seeds.push_back({"bmp/indexed256_4x4.bmp", writeBmp8(4, 4, indexPattern(4, 4, 256, 1), palette(256))});
  seeds.push_back({"bmp/rgb24_3x2.bmp", writeBmp24(3, 2, rgbPattern(3, 2))});
  seeds.push_back({"bmp/rgb24_topdown_5x3.bmp", writeBmp24(5, 3, rgbPattern(5, 3), {.topDown = true})});
  const Bytes bmp = writeBmp24(7, 5, rgbPattern(7, 5));
  seeds.push_back({"bmp/truncated_7x5.bmp", cut(bmp, bmp.size() - 20)});
}

std::vector<std::int16_t> tone(int frames, int channels, int sampleRate) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      samples.push_back(static_cast<std::int16_t>(8000 * std::sin(2 * 3.14159265 * (440 + 110 * c) * i / sampleRate)));
  return samples;
}

// The bytes of the Ogg pages that hold no audio yet (granule position 0):
// the stream's three header packets.
Bytes headerPages(const Bytes& ogg) {
  std::size_t at = 0;
  while (at + 27 <= ogg.size() && std::memcmp(&ogg[at], "OggS", 4) == 0) {
    std::uint64_t granule = 0;
    for (int i = 7; i >= 0; --i) granule = granule << 8 | ogg[at + 6 + i];
    if (granule != 0) break;
    const std::size_t segments = ogg[at + 26];
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments && at + 27 + i < ogg.size(); ++i) length += ogg[at + 27 + i];
    at += length;
  }
  return cut(ogg, at);
}

// The Vorbis target takes a first byte before the file: odd has it set the
// page checksums right, even leaves them as they are.
Bytes withMode(std::uint8_t mode, const Bytes& file) {
  Bytes bytes{mode};
  bytes.insert(bytes.end(), file.begin(), file.end());
  return bytes;
}

void addSounds(std::vector<Seed>& seeds) {
  const Bytes mono = encodeOggVorbis(tone(5512, 1, 22050), 1, 22050);
  const Bytes stereo = encodeOggVorbis(tone(4410, 2, 44100), 2, 44100, 0.1f);
  seeds.push_back({"vorbis/mono_22050", withMode(0, mono)});
  seeds.push_back({"vorbis/stereo_44100", withMode(1, stereo)});
  seeds.push_back({"vorbis/truncated", withMode(1, cut(stereo, stereo.size() * 3 / 5))});
  seeds.push_back({"vorbis/headers_only", withMode(1, headerPages(mono))});
  // A flipped byte in the audio: that page fails its checksum and leaves a
  // hole in the stream.
  Bytes damaged = mono;
  const std::size_t audio = headerPages(mono).size();
  if (audio + 64 < damaged.size()) damaged[audio + 64] ^= 0x5A;
  seeds.push_back({"vorbis/damaged", withMode(0, damaged)});
  // A rate past the int range in the identification header (its checksum
  // set right by the target): the source refuses it.
  Bytes highRate = mono;
  const std::size_t rate = 28 + 12;  // page header, lacing value, "\x01vorbis", version, channels
  for (int i = 0; i < 4; ++i) highRate[rate + i] = static_cast<std::uint8_t>(0x90000000u >> (8 * i));
  seeds.push_back({"vorbis/rate_past_int", withMode(1, highRate)});
  // The first residue's classbook at dimension 0, refused before the
  // decoder sees it.
  seeds.push_back({"vorbis/classbook_dimension_0",
                   withMode(0, withResidueClassbookOfDimensionZero(encodeOggVorbis(tone(1024, 1, 22050), 1, 22050)))});
}

// Archives with each coding and placement, extreme and clashing names, and
// entries whose stored sizes, unpacked sizes or block index lie.
void addArchives(std::vector<Seed>& seeds) {
  const std::string text = "Start line. Green light! The karts leave the grid in a cloud of dust.\n";
  for (int placement = 0; placement < 2; ++placement) {
    ArchiveWriter writer(placement);
    for (int flags = 0; flags < 4; ++flags) writer.add("texts\\flags" + std::to_string(flags) + ".txt", text, flags);
    writer.add("maps\\ramp.pcx", writePcx8(8, 4, indexPattern(8, 4, 16, 3), palette(16)), 3);
    writer.add("empty.txt", std::string_view(), 3);
    writer.add("runs.bin", Bytes(300, 0x55), 2);
    seeds.push_back({"archive/placement" + std::to_string(placement) + ".seed", writer.build()});
  }

  ArchiveWriter names;
  names.add(std::string(ArchiveWriter::kMaxNameLength, 'n'), std::string_view("longest name"), 0);
  names.add("a/b\\c", std::string_view("separators"), 1);
  seeds.push_back({"archive/names.seed", names.build()});

  ArchiveWriter duplicates;
  duplicates.add("Dup.txt", std::string_view("first"), 0);
  duplicates.add("dup.TXT", std::string_view("second"), 2);
  seeds.push_back({"archive/duplicates.seed", duplicates.build()});

  ArchiveWriter damaged;
  PackedEntry badIndex = ArchiveWriter::pack(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 3);
  badIndex.bytes[badIndex.bytes.size() - 2] = 0x7F;  // the block index, far past the block
  damaged.addPacked("bad index", 3, badIndex);
  PackedEntry zeros = ArchiveWriter::pack(Bytes(8, 0).data(), 8, 1);
  zeros.unpackedSize = 40;  // more than the coded data holds
  damaged.addPacked("zeros", 1, zeros);
  PackedEntry pastEnd = ArchiveWriter::pack(Bytes(100, 'x').data(), 100, 0);
  pastEnd.storedSize = 100000;
  damaged.addPacked("past end", 0, pastEnd);
  seeds.push_back({"archive/damaged.seed", damaged.build()});
}

// A stream for the NetControl target: every chunk is preceded by its length
// less one (chunks of up to 128 bytes); actions are single bytes from 0x80.
class ControlScript {
 public:
  static constexpr std::uint8_t kUpdate = 0x80, kReconnect = 0x81, kLeave = 0x82, kReregister = 0x83,
                                kExpectJoinReply = 0x84, kRequestValues = 0x85;

  ControlScript& receive(const Bytes& bytes, std::size_t chunk = 128) {
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
      const std::size_t n = std::min(chunk, bytes.size() - at);
      m_bytes.push_back(static_cast<std::uint8_t>(n - 1));
      m_bytes.insert(m_bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    return *this;
  }
  ControlScript& act(std::uint8_t action) {
    m_bytes.push_back(action);
    return *this;
  }
  Bytes bytes() const { return m_bytes; }

 private:
  Bytes m_bytes;
};

Bytes message(std::uint16_t id, const Bytes& payload = {}) {
  net::MessageWriter writer;
  writer.begin(id);
  writer.writeBytes(payload.data(), payload.size());
  writer.end();
  return Bytes(writer.data(), writer.data() + writer.size());
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes filled(std::size_t size, std::uint8_t first) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

void addRelayStreams(std::vector<Seed>& seeds) {
  // A session as the relay would send it: the seat answering a join, every
  // replicated value at its size (ids as the target registers them), then,
  // asked for (the request's failed send ends the connection, so the target
  // connects again), the end of the dump and a barrier release.
  const Bytes seat = join({message(net::kAccepted, {2}), message(0, {1}), message(5, filled(4, 1)),
                           message(12, {0, 0, 0x80, 0x3F}), message(13, filled(12, 0x40)), message(40, filled(64, 0)),
                           message(1999, filled(4, 9)), message(25, filled(156, 0x20))});
  const Bytes dumpEnd = join({message(net::kValuesEnded), message(net::kBarrier, {7, 0, 0, 0})});
  for (const std::size_t chunk : {std::size_t{128}, std::size_t{1}}) {
    seeds.push_back(
        {chunk == 1 ? "net_control/session_bytewise" : "net_control/session", ControlScript()
                                                                                  .act(ControlScript::kExpectJoinReply)
                                                                                  .receive(seat, chunk)
                                                                                  .act(ControlScript::kRequestValues)
                                                                                  .act(ControlScript::kReconnect)
                                                                                  .receive(dumpEnd, chunk)
                                                                                  .act(ControlScript::kUpdate)
                                                                                  .bytes()});
  }
  // Answers nobody asked for: a seat, a refusal and the end of a dump.
  seeds.push_back({"net_control/unasked", ControlScript()
                                              .receive(join({message(net::kAccepted, {1}), message(net::kRefused),
                                                             message(net::kValuesEnded)}))
                                              .bytes()});

  // A player record with a name that never ends and choices out of range.
  Bytes record = filled(156, 0);
  std::memset(record.data() + 8, 'A', 31);
  record[0] = 99;
  record[4] = 0xFB;
  record[5] = record[6] = record[7] = 0xFF;
  seeds.push_back(
      {"net_control/hostile_record", ControlScript().receive(message(25, record)).act(ControlScript::kUpdate).bytes()});

  // Payloads too short or too long for their ids, and an id nobody has.
  const Bytes wrong =
      join({message(net::kAccepted), message(5, {1, 2, 3}), message(25, filled(155, 0)), message(13, filled(16, 0)),
            message(777, {1}), message(net::kBarrier, {1, 2}), message(net::kLeave)});
  seeds.push_back(
      {"net_control/wrong_sizes",
       ControlScript().receive(wrong, 7).act(ControlScript::kUpdate).act(ControlScript::kReregister).bytes()});

  // The host leaves, a player leaves, the relay refuses, a seat past the
  // last slot, this machine leaves.
  seeds.push_back({"net_control/leaves", ControlScript()
                                             .receive(message(net::kLeave, {0}))
                                             .act(ControlScript::kReconnect)
                                             .act(ControlScript::kExpectJoinReply)
                                             .receive(join({message(net::kAccepted, {4}), message(net::kLeave, {3})}))
                                             .act(ControlScript::kReconnect)
                                             .act(ControlScript::kExpectJoinReply)
                                             .receive(join({message(net::kRefused), message(net::kAccepted, {5})}))
                                             .act(ControlScript::kLeave)
                                             .bytes()});

  // Lengths written out by hand: 2 (below the header) breaks the stream,
  // 32000 cannot be parsed; after each the relay connects again and sends
  // a well-formed "accepted, slot 1" (5 bytes: length 5, id 3, slot).
  const Bytes accepted = {0x05, 0x00, 0x03, 0x00, 0x01};
  seeds.push_back({"net_control/broken_lengths", ControlScript()
                                                     .act(ControlScript::kExpectJoinReply)
                                                     .receive({0x02, 0x00, 0x03, 0x00})
                                                     .act(ControlScript::kReconnect)
                                                     .receive(join({accepted, {0x00, 0x7D, 0x0B, 0x00}}))
                                                     .act(ControlScript::kReconnect)
                                                     .receive(accepted)
                                                     .bytes()});
}

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

// The first line is the key the target opens; the rest is the file.
void addRegistryFiles(std::vector<Seed>& seeds) {
  seeds.push_back({"registry/game_key", text("Software\\Marrowgate Software\\Tessaline\n"
                                             "[HKEY_LOCAL_MACHINE\\Software\\Marrowgate Software\\Tessaline]\n"
                                             "ResolutionWidth=dword:1280\n"
                                             "MultisampleType=dword:0x4\n"
                                             "Caption=sz:Some text\n"
                                             "Quoted=\"quoted text\"\n"
                                             "Plain=plain text\n"
                                             "Empty=\n")});
  seeds.push_back({"registry/abbreviated", text("software/game\n"
                                                "\xEF\xBB\xBF; a comment\n"
                                                "[HKLM\\\\Software\\Game\\]\n"
                                                "  \"Name With Spaces\" = dword:42  \n"
                                                "# another comment\n"
                                                "a line without a value\n"
                                                "=nameless\n"
                                                "TooLarge=dword:0x1FFFFFFFF\n"
                                                "Negative=dword:-1\n"
                                                "NotANumber=dword:12ab\n")});
  seeds.push_back({"registry/sections", text("A\\B\r\n"
                                             "[hkey_local_machine\\a\\b]\r\n"
                                             "Value=1\r\n"
                                             "value=dword:2\r\n"
                                             "[HKCU\\a\\b]\r\n"
                                             "Other=3\r\n"
                                             "[HKEY_LOCAL_MACHINE\\A\\B\r\n"
                                             "Skipped=4\r\n"
                                             "[HKEY_LOCAL_MACHINE\\A\\B]\r\n"
                                             "Late=sz:\"kept with quotes\"")});
}

Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// Object files: two layers with surfaces, a texture block, vertex maps, an
// envelope and a clip; the same cut short; a bare layer.
void addObjects(std::vector<Seed>& seeds) {
  lwo2::Writer w;
  w.envelope(1, {{0, 0.5f, "TCB ", {0, 0, 0}}, {1, 1.0f, "LINE", {}}});
  w.stillClip(1, "images/wall.bmp");
  w.tags({"Body", "Glass"});
  for (int layer : {0, 2}) {
    w.layer(layer, {0, static_cast<float>(layer), 0}, layer == 2 ? "Wheels" : "");
    w.points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 1}});
    w.polygons({{0, 1, 2, 3}, {1, 4, 2}});
    w.polygonSurfaces({{0, 0}, {1, 1}});
    w.vertexMap("TXUV", "uv", {{0, {0, 0}}, {1, {1, 0}}, {2, {1, 1}}, {3, {0, 1}}});
    w.vertexMap("RGBA", "paint", {{4, {1, 0, 0, 0.5f}}});
    w.vertexMap("WGHT", "arm", {{1, {0.75f}}});
    w.polygonVertexMap("TXUV", "uv", {{1, 1, {0.5f, 0.5f}}});
  }
  lwo2::Block block;
  block.clip = 1;
  block.vertexMap = "uv";
  block.writeTextureMap = true;
  block.wrapWidth = 0, block.wrapHeight = 2;
  w.surface(lwo2::Surface("Body").colour(0.8f, 0.2f, 0.1f, 1).smoothing(0.6f).block(block).back("Glass"));
  w.surface(lwo2::Surface("Glass").value("TRAN", 0.5f).u2("SIDE", 3).vertexColours(1, "RGBA", "paint"));
  const Bytes model = w.bytes();
  seeds.push_back({"lwo2/two_layers.lwo", model});
  seeds.push_back({"lwo2/truncated.lwo", cut(model, model.size() * 2 / 3)});
  lwo2::Writer bare;
  bare.layer(0);
  bare.points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  bare.polygons({{0, 1, 2}});
  seeds.push_back({"lwo2/bare_triangle.lwo", bare.bytes()});

  // File sets: the object, then the ".dds" of its clip's picture and the
  // picture; an empty ".dds" part is one that does not exist.
  const Bytes picture = writeBmp24(5, 3, rgbPattern(5, 3));
  DdsImage dds;
  dds.width = dds.height = 4;
  dds.format = D3DFMT_A8R8G8B8;
  dds.levels = {Bytes(64, 0x80), Bytes(16, 0x40), Bytes(4, 0x20)};
  seeds.push_back({"lwo2/with_picture.lwo", joinFiles({model, {}, picture})});
  seeds.push_back({"lwo2/with_dds.lwo", joinFiles({model, writeDds(dds)})});
  seeds.push_back({"lwo2/with_hostile_jpeg.lwo", joinFiles({model, {}, jpegEndingAfterFirstBlockRow(false)})});

  // A scene naming that object: its file set for the scene target's root.
  lws::SceneWriter scene;
  scene.timing(0, 30, 30);
  scene.loadObjectLayer(1, "objects/kart.lwo");
  lws::Camera camera;
  camera.name = "Camera";
  scene.camera(camera);
  const std::string text = scene.text();
  seeds.push_back({"lws/scene_with_object.lws", joinFiles({Bytes(text.begin(), text.end()), model, {}, picture})});
}

// The hostile files, as seeds of the targets that read them. Large ones in
// a small form: a ".dds" of 256 x 256 without mip levels, and one whose
// header claims 16384 x 16384 over no texels.
void addHostileFiles(std::vector<Seed>& seeds) {
  seeds.push_back({"vorbis/hostile_huge_book", withMode(1, oggVorbisWithHugeBook())});
  seeds.push_back({"vorbis/hostile_16_lookup_books", withMode(1, oggVorbisWithLookupBooks(16))});
  seeds.push_back({"vorbis/hostile_80_lookup_books", withMode(1, oggVorbisWithLookupBooks(80))});
  seeds.push_back({"jpeg/hostile_ends_after_first_block_row.jpg", jpegEndingAfterFirstBlockRow(false)});
  seeds.push_back({"jpeg/hostile_progressive_ends_after_first_block_row.jpg", jpegEndingAfterFirstBlockRow(true)});
  seeds.push_back({"pcx/hostile_header_only.pcx", pcxHeaderOnly(8192, 8192)});
  seeds.push_back({"dds/hostile_no_mips_256_dxt1.dds", ddsWithoutMips(256, D3DFMT_DXT1)});
  seeds.push_back({"dds/hostile_header_16384.dds", cut(ddsWithoutMips(16384, D3DFMT_DXT1), 128)});
}

// Little-endian f32 values, as the tuning and point files store them.
Bytes f32s(const std::vector<float>& values) {
  Bytes out;
  for (float v : values) content_bytes::putF32(out, v);
  return out;
}

// The race's values and the GUI's texts made to hurt, small: the kart step,
// the point files, the text tables and branding, the score table, the
// registry, a JPEG cut short.
void addHostileValues(std::vector<Seed>& seeds) {
  const float nan = std::nanf(""), inf = INFINITY;
  const std::vector<float> sample = {0.29f,  0.58f,      0.000368f,  9.0f,     187.0f,
                                     748.0f, -0.001216f, -0.000504f, -0.0016f, 0.5f};
  const struct {
    const char* name;
    int field;  // -1: every field
    float value;
  } tunings[] = {{"nan_acceleration", 2, nan}, {"nan_drift_inertia", 4, nan}, {"nan_roll", 7, nan},
                 {"nan_gravity", 8, nan},      {"nan_vertical_gain", 9, nan}, {"all_inf", -1, inf},
                 {"all_minus_inf", -1, -inf},  {"all_3e38", -1, 3e38f},       {"all_minus_50", -1, -50.0f}};
  for (const auto& t : tunings) {
    std::vector<float> values = sample;
    for (int i = 0; i < 10; ++i)
      if (t.field == -1 || t.field == i) values[static_cast<std::size_t>(i)] = t.value;
    seeds.push_back({std::string("kart_tuning/hostile_") + t.name + ".dat", f32s(values)});
  }
  const float bad[] = {nan, inf, -inf, 3e38f, -3e38f};
  std::vector<float> mixed;
  for (int i = 0; i < 40; ++i) {
    const float x = 10.0f * static_cast<float>(i % 10), z = 5.0f * static_cast<float>(i / 10);
    const std::vector<float> point =
        i % 4 == 3 ? std::vector<float>{i % 3 == 0 ? bad[i % 5] : x, i % 3 == 1 ? bad[i % 5] : 0.0f,
                                        i % 3 == 2 ? bad[i % 5] : z, 0.4f}
                   : std::vector<float>{x, 0.0f, z, 0.4f};
    mixed.insert(mixed.end(), point.begin(), point.end());
  }
  seeds.push_back({"point_file/hostile_bad_points_among_good.dat", f32s(mixed)});
  seeds.push_back({"point_file/hostile_nan.dat", f32s({nan, 0.0f, nan, 0.5f, 1.0f, nan, 1.0f, 0.5f})});
  seeds.push_back({"point_file/hostile_3e38.dat", f32s({3e38f, 0.0f, 1.0f, 0.5f, 1.0f, -3e38f, 1.0f, 0.5f})});
  seeds.push_back({"point_file/hostile_inf.dat", f32s({inf, 0.0f, 1.0f, 0.5f, 1.0f, 0.0f, -inf, 0.5f})});
  seeds.push_back({"point_file/hostile_nan_speed.dat", f32s({1.0f, 0.0f, 1.0f, nan, 2.0f, 0.0f, 2.0f, inf})});

  std::string deep = "<?xml version=\"1.0\" ?>\n<Texts>< \"x\">";
  for (int i = 0; i < 40000; ++i) deep += "<Take>";
  seeds.push_back({"text_table/hostile_deep_behind_unknown_node.xml", text(deep)});
  std::string branding = "<Branding><Screen Lang=\"De\" Show=\"True\"/><'>";
  for (int i = 0; i < 40000; ++i) branding += "<Screen>";
  seeds.push_back({"branding/hostile_deep_behind_unknown_node.xml", text(branding)});
  std::string empty = "<Texts>";
  for (int i = 0; i < 33000; ++i) empty += "<a/>";
  seeds.push_back({"text_table/hostile_many_elements.xml", text(empty + "</Texts>")});
  seeds.push_back({"text_table/hostile_long_text.xml",
                   text("<Texts><Take id=\"1\"><En>" + std::string(256 * 1024, 'x') + "</En></Take></Texts>")});
  std::string takes = "<Texts>";
  for (int i = 0; i < 4100; ++i) takes += "<Take id=\"" + std::to_string(i) + "\"><En>t</En></Take>";
  seeds.push_back({"text_table/hostile_4100_texts.xml", text(takes + "</Texts>")});

  // The score file's plain text (case 3): rows whose times are no race times.
  Bytes rows;
  for (float time : {nan, -inf, 0.0f, -5.0f, inf, 1e30f, 12.5f}) {
    const Bytes t = f32s({time});
    rows.insert(rows.end(), t.begin(), t.end());
    rows.insert(rows.end(), 41 - 4, 0);
  }
  Bytes scores = {3};
  scores.insert(scores.end(), rows.begin(), rows.end());
  seeds.push_back({"saved_files/scores_times_out_of_range", scores});

  seeds.push_back({"registry/hostile_long_lines",
                   text("Software\\Game\n[HKLM\\Software\\Game]\nBefore=dword:1\nLong=sz:" + std::string(8192, 'x') +
                        "\nAfter=dword:2\n")});
  seeds.push_back({"jpeg/hostile_cut_short_256.jpg", jpegCutShort(256, 32, 256)});
}

// The picture target: a case byte, an options byte, then the input.
Bytes pictureCase(std::uint8_t mode, std::uint8_t options, const Bytes& input) {
  Bytes bytes{mode, options};
  bytes.reserve(2 + input.size());
  bytes.insert(bytes.end(), input.begin(), input.end());
  return bytes;
}

void addPicturePath(std::vector<Seed>& seeds) {
  const Bytes bmp = writeBmp24(7, 5, rgbPattern(7, 5));
  const Bytes jpg = writeJpegRgb(24, 16, rgbPattern(24, 16));
  DdsImage dds;
  dds.width = dds.height = 8;
  dds.format = D3DFMT_A8R8G8B8;
  for (UINT side = 8; side >= 1; side /= 2) dds.levels.push_back(Bytes(std::size_t{side} * side * 4, 0x9C));
  const Bytes cacheFile = writeDds(dds);
  seeds.push_back({"picture/dispatch_bmp", pictureCase(0, 0, bmp)});
  seeds.push_back({"picture/dispatch_jpg_bottom_up", pictureCase(0, 0x82, jpg)});
  seeds.push_back({"picture/dispatch_hostile_jpg", pictureCase(0, 2, jpegEndingAfterFirstBlockRow(false))});
  seeds.push_back({"picture/texture_bmp", pictureCase(1, 0, bmp)});
  seeds.push_back({"picture/texture_jpg_small_detail", pictureCase(1, 0x81, jpg)});
  seeds.push_back({"picture/texture_bmp_luminance_non_pow2", pictureCase(1, 0x16, bmp)});
  seeds.push_back({"picture/texture_with_dds", pictureCase(1, 0, joinFiles({bmp, cacheFile}))});
  seeds.push_back({"picture/texture_with_hostile_dds",
                   pictureCase(1, 0, joinFiles({bmp, cut(ddsWithoutMips(16384, D3DFMT_DXT1), 128)}))});
  seeds.push_back({"picture/cache_file", pictureCase(2, 0, cacheFile)});
  seeds.push_back({"picture/cache_file_cut", pictureCase(2, 0, cut(cacheFile, 128 + 200))});
}

// The GUI's files and the race's point and tuning files, as the sample data
// writes them.
void addSampleFiles(std::vector<Seed>& seeds) {
  ArchiveWriter writer;
  if (!addGuiSamples(writer) || !addKartSamples(writer)) {
    seeds.push_back({"sample data", {}});  // reported as a seed that could not be made
    return;
  }
  const Bytes bytes = writer.build();
  const FuzzByteFile disk(bytes.data(), bytes.size());
  ArchiveFile archive(disk);
  archive.mount("data.sar");
  const auto entry = [&](const char* name) {
    Bytes read;
    if (archive.open(name)) {
      read.resize(static_cast<std::size_t>(archive.size()));
      if (!read.empty() && archive.read(read.data(), archive.size()) != archive.size()) read.clear();
      archive.close();
    }
    return read;
  };
  seeds.push_back({"text_table/Texts.xml", entry("D:\\Tamberlok\\menu\\Texts.xml")});
  seeds.push_back({"text_table/IngameTexts.xml", entry("D:\\Tamberlok\\menu\\IngameTexts.xml")});
  seeds.push_back({"branding/Branding_Demo.xml", entry("D:\\Tamberlok\\menu\\Branding_Demo.xml")});
  const Bytes credits = entry("D:\\Tamberlok\\menu\\Credits.txt");
  seeds.push_back({"credits/Credits.txt", credits});
  seeds.push_back({"credits/Credits_cut.txt", cut(credits, credits.size() / 2)});
  const Bytes respawn = entry("D:\\Tamberlok\\aifiles\\track01\\ai_respawn.dat");
  seeds.push_back({"point_file/ai_respawn.dat", respawn});
  seeds.push_back({"point_file/ai_rakete.dat", entry("D:\\Tamberlok\\aifiles\\track01\\ai_rakete.dat")});
  seeds.push_back({"point_file/ai_respawn_cut.dat", cut(respawn, 16 * 3 + 7)});
  const Bytes tuning = entry("carsettings_100_2.dat");
  seeds.push_back({"kart_tuning/carsettings_100_2.dat", tuning});
  seeds.push_back({"kart_tuning/carsettings_150_5.dat", entry("carsettings_150_5.dat")});
  seeds.push_back({"kart_tuning/carsettings_cut.dat", cut(tuning, 22)});
}

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 2 && !check) {
    std::fprintf(stderr, "usage: tessaline-fuzz-seeds [--check] CORPUS\n");
    return 2;
  }
  const std::filesystem::path root = argv[argc - 1];
  std::vector<Seed> seeds;
  addPictures(seeds);
  addSounds(seeds);
  addArchives(seeds);
  addRelayStreams(seeds);
  addRegistryFiles(seeds);
  addObjects(seeds);
  addHostileFiles(seeds);
  addHostileValues(seeds);
  addPicturePath(seeds);
  addSampleFiles(seeds);

  int failures = 0;
  for (const Seed& seed : seeds) {
    const std::filesystem::path path = root / seed.path;
    if (seed.bytes.empty()) {
      std::fprintf(stderr, "tessaline-fuzz-seeds: could not make %s\n", seed.path.c_str());
      ++failures;
    } else if (check) {
      if (readFile(path) != seed.bytes) {
        std::fprintf(stderr, "tessaline-fuzz-seeds: %s differs from what the writers make now\n",
                     path.string().c_str());
        ++failures;
      }
    } else {
      std::error_code error;
      std::filesystem::create_directories(path.parent_path(), error);
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
      if (!out.flush()) {
        std::fprintf(stderr, "tessaline-fuzz-seeds: cannot write %s\n", path.string().c_str());
        ++failures;
      }
    }
  }
  if (failures == 0) std::printf("%s %zu seeds in %s\n", check ? "checked" : "wrote", seeds.size(), root.c_str());
  return failures == 0 ? 0 : 1;
}
