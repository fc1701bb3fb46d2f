// Writes LightWave object files (LWO2: a big-endian IFF form) for tests and
// the sample data: layers, points, polygons, surface tags, surfaces with
// texture blocks, vertex maps, envelopes and clips, in the order asked.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lwo2 {

// Big-endian fields as the format stores them.
void putU2(std::vector<std::uint8_t>& out, std::uint32_t value);
void putU4(std::vector<std::uint8_t>& out, std::uint32_t value);
void putF4(std::vector<std::uint8_t>& out, float value);
void putID4(std::vector<std::uint8_t>& out, const char (&tag)[5]);
// Two bytes below 0xFF00, else four with 0xFF in front.
void putVX(std::vector<std::uint8_t>& out, std::uint32_t index);
// NUL-terminated, padded to an even length.
void putS0(std::vector<std::uint8_t>& out, const std::string& text);
// A sub-chunk: tag, U2 size, data; `pad` adds a byte after odd data.
void putSubChunk(std::vector<std::uint8_t>& out, const char (&tag)[5], const std::vector<std::uint8_t>& data,
                 bool pad = false);

// One texture block of a surface.
struct Block {
  char type[5] = "IMAP";  // IMAP, PROC, GRAD or vcol
  std::string ordinal = "\x80";
  char channel[5] = "COLR";
  bool enabled = true;
  std::int32_t clip = -1;        // IMAG, when 0 or more
  std::int32_t projection = -1;  // PROJ, when 0 or more
  std::int32_t axis = -1;        // AXIS, when 0 or more
  std::array<float, 3> center{0, 0, 0}, size{1, 1, 1}, rotation{0, 0, 0};
  bool writeTextureMap = false;
  std::int32_t wrapWidth = -1, wrapHeight = -1;  // WRAP, when both 0 or more
  std::string vertexMap;                         // VMAP, when not empty
  std::vector<std::uint8_t> extra;               // further sub-chunks, written as given
};

class Surface {
 public:
  Surface(std::string name, std::string source = "") : m_name(std::move(name)), m_source(std::move(source)) {}
  Surface& colour(float r, float g, float b, std::uint16_t envelope = 0);
  // LUMI, DIFF, SPEC, GLOS, REFL, TRAN, ADTR, RIND, CLRH, BUMP: F4 and envelope.
  Surface& value(const char (&tag)[5], float v, std::uint16_t envelope = 0);
  // SIDE, RFOP, TIMG and other U2 sub-chunks.
  Surface& u2(const char (&tag)[5], std::uint16_t v);
  Surface& smoothing(float radians);
  Surface& back(const std::string& surfaceName);
  Surface& vertexColours(float intensity, const char (&mapType)[5], const std::string& mapName);
  Surface& block(const Block& block);
  // Appends the SURF chunk.
  void writeTo(std::vector<std::uint8_t>& out) const;

 private:
  std::string m_name, m_source;
  std::vector<std::uint8_t> m_body;
};

struct EnvelopeKey {
  float time, value;
  char shape[5] = "TCB ";
  std::vector<float> parameters;  // as the shape takes them
};

class Writer {
 public:
  void layer(int number, std::array<float, 3> pivot = {0, 0, 0}, const std::string& name = "");
  void points(const std::vector<std::array<float, 3>>& positions);
  void polygons(const std::vector<std::vector<std::uint32_t>>& faces, const char (&type)[5] = "FACE");
  // PTAG SURF: polygon, surface tag.
  void polygonSurfaces(const std::vector<std::pair<std::uint32_t, std::uint16_t>>& tags);
  void tags(const std::vector<std::string>& names);
  void surface(const Surface& s) { s.writeTo(m_body); }
  // VMAP: one entry per point, its values as the type has them.
  void vertexMap(const char (&type)[5], const std::string& name,
                 const std::vector<std::pair<std::uint32_t, std::vector<float>>>& entries);
  // VMAD: point, polygon and values.
  struct PolygonValue {
    std::uint32_t point, polygon;
    std::vector<float> values;
  };
  void polygonVertexMap(const char (&type)[5], const std::string& name, const std::vector<PolygonValue>& entries);
  void envelope(std::uint16_t index, const std::vector<EnvelopeKey>& keys, std::uint16_t pre = 1,
                std::uint16_t post = 1);
  void stillClip(std::uint32_t index, const std::string& path);
  void sequenceClip(std::uint32_t index, int digits, std::uint16_t offset, std::uint16_t first, std::uint16_t last,
                    const std::string& prefix, const std::string& suffix);
  // Any chunk, as given.
  void chunk(const char (&tag)[5], const std::vector<std::uint8_t>& data);

  // "FORM", the size, "LWO2" and the chunks.
  std::vector<std::uint8_t> bytes() const;

 private:
  std::vector<std::uint8_t> m_body;
};

}  // namespace lwo2
