// Polygon meshes built from simple solids, and the LWO2 object file that
// holds them in layers: the sample data's karts, drivers and props are made
// this way. Every polygon records the surface it shows, and its points run
// so that its front faces the way the solid's outside does.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lwo2 {

using Vec3 = std::array<float, 3>;

struct MeshPolygon {
  std::vector<std::uint32_t> points;
  std::uint16_t surface = 0;
};

class Mesh {
 public:
  std::uint32_t point(Vec3 p);
  // A polygon whose front (the side its points run clockwise on, seen in
  // the engine's left-handed view) faces along `facing`.
  void polygon(std::vector<std::uint32_t> points, Vec3 facing, std::uint16_t surface);

  // Closed solids, fronts outward. Axis 0, 1, 2 is x, y, z.
  // Bottom corners (y low) then top corners, each four running around the
  // same way; the two rings may differ in size and place (a wedge, a taper).
  void hexahedron(const std::array<Vec3, 8>& corners, std::uint16_t surface);
  void box(Vec3 centre, Vec3 half, std::uint16_t surface);
  // A round column along `axis` with flat caps.
  void cylinder(Vec3 centre, int axis, float radius, float halfLength, int sides, std::uint16_t side,
                std::uint16_t caps);
  // A cone from a round base at `base` to a tip `height` along `axis` (a
  // negative height points the other way).
  void cone(Vec3 base, int axis, float radius, float height, int sides, std::uint16_t side, std::uint16_t cap);
  // A sphere stretched by `radii`, its poles on the y axis. `bandSurfaces`
  // are used in turn around it when given (stripes), else `surface`.
  void ellipsoid(Vec3 centre, Vec3 radii, int slices, int stacks, std::uint16_t surface,
                 const std::vector<std::uint16_t>& bandSurfaces = {});

  // Moves the points from index `first` on. Rigid motions and positive
  // scales keep every front facing out.
  void translate(std::uint32_t first, Vec3 by);
  void rotate(std::uint32_t first, int axis, float radians, Vec3 about);
  void scale(std::uint32_t first, Vec3 factors, Vec3 about);

  std::uint32_t pointCount() const { return static_cast<std::uint32_t>(m_points.size()); }
  const std::vector<Vec3>& points() const { return m_points; }
  const std::vector<MeshPolygon>& polygons() const { return m_polygons; }
  // The smallest and largest coordinate on each axis; zeros when empty.
  Vec3 low() const;
  Vec3 high() const;

 private:
  std::vector<Vec3> m_points;
  std::vector<MeshPolygon> m_polygons;
};

// The normal of a polygon by Newell's sum, not normalised: it points to
// the polygon's front.
Vec3 polygonNormal(const Mesh& mesh, const MeshPolygon& polygon);

// A surface as the objects of the sample data describe it.
struct Look {
  std::string name;
  Vec3 colour{1, 1, 1};
  float diffuse = 1.0f;
  float luminosity = 0.0f;
  float specularity = 0.0f;
  float glossiness = 0.4f;
  float transparency = 0.0f;
  float smoothing = 0.0f;  // the smoothing angle in radians; 0: flat
  bool doubleSided = false;
};

struct Layer {
  int number = 0;
  Vec3 pivot{0, 0, 0};
  std::string name;
  Mesh mesh;
};

// TAGS from the looks, then each layer's LAYR, PNTS, POLS and surface tags,
// then one SURF per look. A polygon's surface indexes `looks`.
std::vector<std::uint8_t> objectFile(const std::vector<Layer>& layers, const std::vector<Look>& looks);

}  // namespace lwo2
