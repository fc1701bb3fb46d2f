// Matrices and vectors for row vectors: a point is multiplied on the left,
// so in a product a x b, a is applied first. Translation sits in elements
// 12 to 14.
#pragma once

struct Position3 {
  float x = 0, y = 0, z = 0;
};

struct Normal3 {
  float x = 0, y = 0, z = 0;
};

struct Matrix4x3 {
  float m[16];

  float& operator[](int i) { return m[i]; }
  float operator[](int i) const { return m[i]; }

  // out = this x b for two affine matrices; out's fourth column becomes
  // (0, 0, 0, 1). out may not alias this or b. Returns out.
  Matrix4x3* multiplyAffine(Matrix4x3* out, const Matrix4x3& b) const;
};

extern const Matrix4x3 g_identityMatrix;  // the 4x4 identity
extern const Matrix4x3 g_affineIdentity;  // the identity that items copy

// out = a x b over all 16 elements. out may not alias a or b.
void multiplyMatrix(Matrix4x3& out, const Matrix4x3& a, const Matrix4x3& b);
// out = a x b with a's fourth column taken as (0, 0, 0, 1).
void multiplyAffineFull(Matrix4x3& out, const Matrix4x3& a, const Matrix4x3& b);
// Inverse of an affine matrix through the adjugate; a singular input gives
// infinities (callers pass rotation-and-scale matrices only).
Matrix4x3* invertAffine(Matrix4x3* out, const Matrix4x3& m);
// General inverse by Gauss-Jordan elimination. A singular matrix reports an
// assertion and yields the identity.
Matrix4x3* invertMatrix(const Matrix4x3& src, Matrix4x3* out);
void copyMatrix4(Matrix4x3& dst, const Matrix4x3& src);

// Scales v (3 floats) to unit length and returns the length it had. A zero
// vector stays zero.
float normalizeVector(float* v);
inline float normalizeVector(Normal3& n) { return normalizeVector(&n.x); }
