#include "scene/scene_node.h"

#include <cmath>

void SceneNode::setBox(const Position3& min, const Position3& max) {
  for (int k = 0; k < 8; ++k) {
    corners[k].x = (k & 4) ? max.x : min.x;
    corners[k].y = (k & 2) ? max.y : min.y;
    corners[k].z = (k & 1) ? max.z : min.z;
  }
  centre.x = min.x + (max.x - min.x) * 0.5f;
  centre.y = min.y + (max.y - min.y) * 0.5f;
  centre.z = min.z + (max.z - min.z) * 0.5f;
  float d[3] = {max.x - centre.x, max.y - centre.y, max.z - centre.z};
  radius = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  hasBox = true;
}

void SceneNode::transformBox(const Matrix4x3& m, Vector4 out[8]) const {
  for (int k = 0; k < 8; ++k) {
    const float x = corners[k].x, y = corners[k].y, z = corners[k].z;
    out[k].x = x * m[0] + y * m[4] + z * m[8] + m[12];
    out[k].y = x * m[1] + y * m[5] + z * m[9] + m[13];
    out[k].z = x * m[2] + y * m[6] + z * m[10] + m[14];
    out[k].w = x * m[3] + y * m[7] + z * m[11] + m[15];
  }
}

float SceneNode::distanceToSphere(const Position3& p) const {
  float d[3] = {p.x - centre.x, p.y - centre.y, p.z - centre.z};
  normalizeVector(d);
  const float q[3] = {centre.x + d[0] * radius, centre.y + d[1] * radius, centre.z + d[2] * radius};
  const float e[3] = {p.x - q[0], p.y - q[1], p.z - q[2]};
  return std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
}

bool DebugNode::computeBounds(bool) {
  if (!boundsReady) setBox({-1.0f, -1.0f, -1.0f}, {1.0f, 1.0f, 1.0f});
  boundsReady = true;
  return true;
}
