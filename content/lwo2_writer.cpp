#include "content/lwo2_writer.h"

#include <cstring>

namespace lwo2 {

void putU2(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void putU4(std::vector<std::uint8_t>& out, std::uint32_t value) {
  putU2(out, value >> 16);
  putU2(out, value);
}

void putF4(std::vector<std::uint8_t>& out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putU4(out, bits);
}

void putID4(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

void putVX(std::vector<std::uint8_t>& out, std::uint32_t index) {
  if (index < 0xFF00) {
    putU2(out, index);
  } else {
    putU4(out, 0xFF000000u | index);
  }
}

void putS0(std::vector<std::uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
  if ((text.size() + 1) % 2 != 0) out.push_back(0);
}

void putSubChunk(std::vector<std::uint8_t>& out, const char (&tag)[5], const std::vector<std::uint8_t>& data,
                 bool pad) {
  putID4(out, tag);
  putU2(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (pad && data.size() % 2 != 0) out.push_back(0);
}

namespace {

void putChunk(std::vector<std::uint8_t>& out, const char (&tag)[5], const std::vector<std::uint8_t>& data) {
  putID4(out, tag);
  putU4(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

std::vector<std::uint8_t> floatsAndEnvelope(std::initializer_list<float> values, std::uint16_t envelope) {
  std::vector<std::uint8_t> data;
  for (float v : values) putF4(data, v);
  putU2(data, envelope);
  return data;
}

}  // namespace

Surface& Surface::colour(float r, float g, float b, std::uint16_t envelope) {
  putSubChunk(m_body, "COLR", floatsAndEnvelope({r, g, b}, envelope));
  return *this;
}

Surface& Surface::value(const char (&tag)[5], float v, std::uint16_t envelope) {
  putSubChunk(m_body, tag, floatsAndEnvelope({v}, envelope));
  return *this;
}

Surface& Surface::u2(const char (&tag)[5], std::uint16_t v) {
  std::vector<std::uint8_t> data;
  putU2(data, v);
  putSubChunk(m_body, tag, data);
  return *this;
}

Surface& Surface::smoothing(float radians) {
  std::vector<std::uint8_t> data;
  putF4(data, radians);
  putSubChunk(m_body, "SMAN", data);
  return *this;
}

Surface& Surface::back(const std::string& surfaceName) {
  std::vector<std::uint8_t> data;
  putS0(data, surfaceName);
  putSubChunk(m_body, "back", data);
  return *this;
}

Surface& Surface::vertexColours(float intensity, const char (&mapType)[5], const std::string& mapName) {
  std::vector<std::uint8_t> data = floatsAndEnvelope({intensity}, 0);
  putID4(data, mapType);
  putS0(data, mapName);
  putSubChunk(m_body, "VCOL", data);
  return *this;
}

Surface& Surface::block(const Block& b) {
  std::vector<std::uint8_t> data, header, field;
  putS0(header, b.ordinal);
  putSubChunk(header, "CHAN", std::vector<std::uint8_t>(b.channel, b.channel + 4));
  field.clear();
  putU2(field, b.enabled ? 1 : 0);
  putSubChunk(header, "ENAB", field);
  putSubChunk(data, b.type, header, true);
  if (b.writeTextureMap) {
    std::vector<std::uint8_t> map;
    putSubChunk(map, "CNTR", floatsAndEnvelope({b.center[0], b.center[1], b.center[2]}, 0));
    putSubChunk(map, "SIZE", floatsAndEnvelope({b.size[0], b.size[1], b.size[2]}, 0));
    putSubChunk(map, "ROTA", floatsAndEnvelope({b.rotation[0], b.rotation[1], b.rotation[2]}, 0));
    putSubChunk(data, "TMAP", map, true);
  }
  auto u2Field = [&](const char(&tag)[5], std::int32_t v) {
    if (v < 0) return;
    std::vector<std::uint8_t> f;
    putU2(f, static_cast<std::uint32_t>(v));
    putSubChunk(data, tag, f, true);
  };
  u2Field("PROJ", b.projection);
  u2Field("AXIS", b.axis);
  u2Field("IMAG", b.clip);
  if (b.wrapWidth >= 0 && b.wrapHeight >= 0) {
    std::vector<std::uint8_t> f;
    putU2(f, static_cast<std::uint32_t>(b.wrapWidth));
    putU2(f, static_cast<std::uint32_t>(b.wrapHeight));
    putSubChunk(data, "WRAP", f, true);
  }
  if (!b.vertexMap.empty()) {
    std::vector<std::uint8_t> f;
    putS0(f, b.vertexMap);
    putSubChunk(data, "VMAP", f, true);
  }
  data.insert(data.end(), b.extra.begin(), b.extra.end());
  putSubChunk(m_body, "BLOK", data);
  return *this;
}

void Surface::writeTo(std::vector<std::uint8_t>& out) const {
  std::vector<std::uint8_t> data;
  putS0(data, m_name);
  putS0(data, m_source);
  data.insert(data.end(), m_body.begin(), m_body.end());
  putChunk(out, "SURF", data);
}

void Writer::layer(int number, std::array<float, 3> pivot, const std::string& name) {
  std::vector<std::uint8_t> data;
  putU2(data, static_cast<std::uint32_t>(number));
  putU2(data, 0);
  for (float v : pivot) putF4(data, v);
  putS0(data, name);
  putChunk(m_body, "LAYR", data);
}

void Writer::points(const std::vector<std::array<float, 3>>& positions) {
  std::vector<std::uint8_t> data;
  for (const auto& p : positions) {
    for (float v : p) putF4(data, v);
  }
  putChunk(m_body, "PNTS", data);
}

void Writer::polygons(const std::vector<std::vector<std::uint32_t>>& faces, const char (&type)[5]) {
  std::vector<std::uint8_t> data;
  putID4(data, type);
  for (const auto& face : faces) {
    putU2(data, static_cast<std::uint32_t>(face.size()));
    for (std::uint32_t point : face) putVX(data, point);
  }
  putChunk(m_body, "POLS", data);
}

void Writer::polygonSurfaces(const std::vector<std::pair<std::uint32_t, std::uint16_t>>& tags) {
  std::vector<std::uint8_t> data;
  putID4(data, "SURF");
  for (auto [polygon, tag] : tags) {
    putVX(data, polygon);
    putU2(data, tag);
  }
  putChunk(m_body, "PTAG", data);
}

void Writer::tags(const std::vector<std::string>& names) {
  std::vector<std::uint8_t> data;
  for (const auto& name : names) putS0(data, name);
  putChunk(m_body, "TAGS", data);
}

void Writer::vertexMap(const char (&type)[5], const std::string& name,
                       const std::vector<std::pair<std::uint32_t, std::vector<float>>>& entries) {
  std::vector<std::uint8_t> data;
  putID4(data, type);
  putU2(data, entries.empty() ? 0 : static_cast<std::uint32_t>(entries.front().second.size()));
  putS0(data, name);
  for (const auto& [point, values] : entries) {
    putVX(data, point);
    for (float v : values) putF4(data, v);
  }
  putChunk(m_body, "VMAP", data);
}

void Writer::polygonVertexMap(const char (&type)[5], const std::string& name,
                              const std::vector<PolygonValue>& entries) {
  std::vector<std::uint8_t> data;
  putID4(data, type);
  putU2(data, entries.empty() ? 0 : static_cast<std::uint32_t>(entries.front().values.size()));
  putS0(data, name);
  for (const auto& e : entries) {
    putVX(data, e.point);
    putVX(data, e.polygon);
    for (float v : e.values) putF4(data, v);
  }
  putChunk(m_body, "VMAD", data);
}

void Writer::envelope(std::uint16_t index, const std::vector<EnvelopeKey>& keys, std::uint16_t pre,
                      std::uint16_t post) {
  std::vector<std::uint8_t> data, field;
  putU2(data, index);
  field.clear();
  putU2(field, pre);
  putSubChunk(data, "PRE ", field);
  field.clear();
  putU2(field, post);
  putSubChunk(data, "POST", field);
  for (const auto& key : keys) {
    field.clear();
    putF4(field, key.time);
    putF4(field, key.value);
    putSubChunk(data, "KEY ", field);
    field.clear();
    putID4(field, key.shape);
    for (float p : key.parameters) putF4(field, p);
    putSubChunk(data, "SPAN", field);
  }
  putChunk(m_body, "ENVL", data);
}

void Writer::stillClip(std::uint32_t index, const std::string& path) {
  std::vector<std::uint8_t> data, field;
  putU4(data, index);
  putS0(field, path);
  putSubChunk(data, "STIL", field);
  putChunk(m_body, "CLIP", data);
}

void Writer::sequenceClip(std::uint32_t index, int digits, std::uint16_t offset, std::uint16_t first,
                          std::uint16_t last, const std::string& prefix, const std::string& suffix) {
  std::vector<std::uint8_t> data, field;
  putU4(data, index);
  field.push_back(static_cast<std::uint8_t>(digits));
  field.push_back(0);
  putU2(field, offset);
  putU2(field, 0);
  putU2(field, first);
  putU2(field, last);
  putS0(field, prefix);
  putS0(field, suffix);
  putSubChunk(data, "ISEQ", field);
  putChunk(m_body, "CLIP", data);
}

void Writer::chunk(const char (&tag)[5], const std::vector<std::uint8_t>& data) { putChunk(m_body, tag, data); }

std::vector<std::uint8_t> Writer::bytes() const {
  std::vector<std::uint8_t> out;
  putID4(out, "FORM");
  putU4(out, static_cast<std::uint32_t>(m_body.size() + 4));
  putID4(out, "LWO2");
  out.insert(out.end(), m_body.begin(), m_body.end());
  return out;
}

}  // namespace lwo2
