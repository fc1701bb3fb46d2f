#include "foundation/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/report_capture.h"

namespace {

Matrix4x3 rotationY(float angle, float tx, float ty, float tz) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {{c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, tx, ty, tz, 1}};
}

void transformPoint(const Matrix4x3& m, const float in[3], float out[3]) {
  for (int c = 0; c < 3; ++c) out[c] = in[0] * m[c] + in[1] * m[4 + c] + in[2] * m[8 + c] + m[12 + c];
}

void expectNear(const Matrix4x3& a, const Matrix4x3& b, float eps = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
}

}  // namespace

TEST(Matrix, RowVectorsApplyTheLeftMatrixFirst) {
  const Matrix4x3 move = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1}};
  const Matrix4x3 turn = rotationY(float(M_PI / 2), 0, 0, 0);
  Matrix4x3 both;
  move.multiplyAffine(&both, turn);
  const float origin[3] = {0, 0, 0};
  float p[3];
  transformPoint(both, origin, p);
  // Moved to (5,0,0) first, then turned a quarter about y.
  EXPECT_NEAR(p[0], 0, 1e-5);
  EXPECT_NEAR(p[2], -5, 1e-5);

  Matrix4x3 full;
  multiplyMatrix(full, move, turn);
  expectNear(full, both);
  Matrix4x3 mixed;
  multiplyAffineFull(mixed, move, turn);
  expectNear(mixed, both);
}

TEST(Matrix, MultiplyAffineWritesAnExactFourthColumn) {
  Matrix4x3 a = rotationY(0.3f, 1, 2, 3);
  a[3] = 7;  // garbage that must not leak into the product
  Matrix4x3 out;
  a.multiplyAffine(&out, a);
  EXPECT_EQ(out[3], 0.0f);
  EXPECT_EQ(out[7], 0.0f);
  EXPECT_EQ(out[11], 0.0f);
  EXPECT_EQ(out[15], 1.0f);
}

TEST(Matrix, InvertAffineUndoesARigidTransform) {
  const Matrix4x3 m = rotationY(0.7f, 1, -2, 3);
  Matrix4x3 inv, product;
  invertAffine(&inv, m);
  m.multiplyAffine(&product, inv);
  expectNear(product, g_identityMatrix);

  const Matrix4x3 translation = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}};
  invertAffine(&inv, translation);
  expectNear(inv, {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1}});

  const Matrix4x3 scaled = {{2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 2, 4, 8, 1}};
  invertAffine(&inv, scaled);
  EXPECT_NEAR(inv[0], 0.5f, 1e-6);
  EXPECT_NEAR(inv[12], -1.0f, 1e-6);
  EXPECT_NEAR(inv[14], -1.0f, 1e-6);
}

TEST(Matrix, InvertMatrixPivotsOnAZeroDiagonal) {
  const Matrix4x3 swapRows = {{0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1}};
  Matrix4x3 inv, product;
  invertMatrix(swapRows, &inv);
  multiplyMatrix(product, swapRows, inv);
  expectNear(product, g_identityMatrix);

  const Matrix4x3 projection = {{1.5f, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1.01f, 1, 0, 0, -0.1f, 0}};
  invertMatrix(projection, &inv);
  multiplyMatrix(product, inv, projection);
  expectNear(product, g_identityMatrix);
}

class MatrixAssertions : public ReportCapture {
 protected:
  MatrixAssertions() : ReportCapture(3) {}
};

TEST_F(MatrixAssertions, SingularMatrixAssertsAndGivesTheIdentity) {
  const Matrix4x3 zero = {};
  Matrix4x3 out = {{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}};
  invertMatrix(zero, &out);
  expectNear(out, g_identityMatrix, 0);
  EXPECT_EQ(lastMessage(), "Singular trans mat encountered.\\n");
}

TEST(Matrix, NormalizeVector) {
  float v[3] = {3, 0, 4};
  EXPECT_FLOAT_EQ(normalizeVector(v), 5.0f);
  EXPECT_FLOAT_EQ(v[0], 0.6f);
  EXPECT_FLOAT_EQ(v[2], 0.8f);

  Normal3 zero;
  EXPECT_EQ(normalizeVector(zero), 0.0f);
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_FALSE(std::isnan(zero.y));
}
