#include "foundation/matrix.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "foundation/report.h"

const Matrix4x3 g_identityMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
const Matrix4x3 g_affineIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

void multiplyMatrix(Matrix4x3& out, const Matrix4x3& a, const Matrix4x3& b) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      out.m[r * 4 + c] = a.m[r * 4 + 0] * b.m[0 + c] + a.m[r * 4 + 1] * b.m[4 + c] + a.m[r * 4 + 2] * b.m[8 + c] +
                         a.m[r * 4 + 3] * b.m[12 + c];
}

void multiplyAffineFull(Matrix4x3& out, const Matrix4x3& a, const Matrix4x3& b) {
  for (int r = 0; r < 4; ++r) {
    const float w = r == 3 ? 1.0f : 0.0f;
    for (int c = 0; c < 4; ++c)
      out.m[r * 4 + c] =
          a.m[r * 4 + 0] * b.m[0 + c] + a.m[r * 4 + 1] * b.m[4 + c] + a.m[r * 4 + 2] * b.m[8 + c] + w * b.m[12 + c];
  }
}

Matrix4x3* Matrix4x3::multiplyAffine(Matrix4x3* out, const Matrix4x3& b) const {
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c)
      out->m[r * 4 + c] = m[r * 4 + 0] * b.m[0 + c] + m[r * 4 + 1] * b.m[4 + c] + m[r * 4 + 2] * b.m[8 + c];
    out->m[r * 4 + 3] = 0.0f;
  }
  for (int c = 0; c < 3; ++c) out->m[12 + c] = m[12] * b.m[c] + m[13] * b.m[4 + c] + m[14] * b.m[8 + c] + b.m[12 + c];
  out->m[15] = 1.0f;
  return out;
}

Matrix4x3* invertAffine(Matrix4x3* out, const Matrix4x3& m) {
  const double a = m.m[0], b = m.m[1], c = m.m[2];
  const double d = m.m[4], e = m.m[5], f = m.m[6];
  const double g = m.m[8], h = m.m[9], k = m.m[10];

  const double c00 = e * k - f * h, c01 = f * g - d * k, c02 = d * h - e * g;
  const double det = a * c00 + b * c01 + c * c02;
  const double inv = 1.0 / det;

  float r[9];
  r[0] = static_cast<float>(c00 * inv);
  r[1] = static_cast<float>((c * h - b * k) * inv);
  r[2] = static_cast<float>((b * f - c * e) * inv);
  r[3] = static_cast<float>(c01 * inv);
  r[4] = static_cast<float>((a * k - c * g) * inv);
  r[5] = static_cast<float>((c * d - a * f) * inv);
  r[6] = static_cast<float>(c02 * inv);
  r[7] = static_cast<float>((b * g - a * h) * inv);
  r[8] = static_cast<float>((a * e - b * d) * inv);

  const float tx = m.m[12], ty = m.m[13], tz = m.m[14];
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) out->m[row * 4 + col] = r[row * 3 + col];
    out->m[row * 4 + 3] = 0.0f;
  }
  for (int col = 0; col < 3; ++col) out->m[12 + col] = -(tx * r[col] + ty * r[3 + col] + tz * r[6 + col]);
  out->m[15] = 1.0f;
  return out;
}

Matrix4x3* invertMatrix(const Matrix4x3& src, Matrix4x3* out) {
  float a[4][4], x[4][4];
  std::memcpy(a, src.m, sizeof a);
  std::memcpy(x, g_identityMatrix.m, sizeof x);

  for (int i = 0; i < 4; ++i) {
    if (a[i][i] == 0.0f) {
      int pivot = -1;
      for (int j = i + 1; j < 4; ++j)
        if (a[j][i] != 0.0f) {
          pivot = j;
          break;
        }
      if (pivot < 0) {
        ENGINE_ASSERT(0 && "Singular trans mat encountered.\n");
        *out = g_identityMatrix;
        return out;
      }
      std::swap(a[i], a[pivot]);
      std::swap(x[i], x[pivot]);
    }
    if (a[i][i] != 1.0f) {
      const float scale = 1.0f / a[i][i];
      for (int c = 0; c < 4; ++c) {
        a[i][c] *= scale;
        x[i][c] *= scale;
      }
    }
    for (int j = i + 1; j < 4; ++j) {
      const float factor = a[j][i];
      for (int c = 0; c < 4; ++c) {
        a[j][c] -= factor * a[i][c];
        x[j][c] -= factor * x[i][c];
      }
    }
  }
  for (int i = 3; i >= 1; --i)
    for (int j = 0; j < i; ++j) {
      const float factor = a[j][i];
      for (int c = 0; c < 4; ++c) x[j][c] -= factor * x[i][c];
    }
  std::memcpy(out->m, x, sizeof x);
  return out;
}

void copyMatrix4(Matrix4x3& dst, const Matrix4x3& src) { std::memcpy(dst.m, src.m, sizeof dst.m); }

float normalizeVector(float* v) {
  const double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
  if (length != 0.0) {
    const float inverse = static_cast<float>(1.0 / length);
    v[0] *= inverse;
    v[1] *= inverse;
    v[2] *= inverse;
  }
  return static_cast<float>(length);
}
