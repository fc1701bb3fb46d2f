#include "scene/item_math.h"

#include <cmath>

Matrix4x3 rotationX(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {{1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1}};
}

Matrix4x3 rotationY(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {{c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}};
}

Matrix4x3 rotationZ(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {{c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix4x3 translationMatrix(float x, float y, float z) { return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}}; }

Matrix4x3 scaleMatrix(float x, float y, float z) { return {{x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}}; }

Matrix4x3 axisBaseMatrix(int mode) {
  if (mode == 0) return {{0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}};
  if (mode == 1) return {{1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}};
  return g_identityMatrix;
}

void transformPoint(float p[3], const Matrix4x3& m) {
  const float x = p[0], y = p[1], z = p[2];
  p[0] = x * m[0] + y * m[4] + z * m[8] + m[12];
  p[1] = x * m[1] + y * m[5] + z * m[9] + m[13];
  p[2] = x * m[2] + y * m[6] + z * m[10] + m[14];
}

float vectorLength(const float v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void postMultiply(Matrix4x3& m, const Matrix4x3& r) {
  Matrix4x3 product;
  multiplyMatrix(product, m, r);
  m = product;
}
