// Small matrix helpers for items: the rotations of the item convention and
// point transforms. Matrices are for row vectors; in a x b, a applies first.
#pragma once

#include "foundation/matrix.h"

// Rotations about X, Y and Z by `angle` radians with the rows
// X: (1,0,0), (0,c,s), (0,-s,c); Y: (c,0,-s), (0,1,0), (s,0,c);
// Z: (c,s,0), (-s,c,0), (0,0,1).
Matrix4x3 rotationX(float angle);
Matrix4x3 rotationY(float angle);
Matrix4x3 rotationZ(float angle);
Matrix4x3 translationMatrix(float x, float y, float z);
Matrix4x3 scaleMatrix(float x, float y, float z);

// p := p x m, translation included, no division by w.
void transformPoint(float p[3], const Matrix4x3& m);
inline void transformPoint(Position3& p, const Matrix4x3& m) { transformPoint(&p.x, m); }
float vectorLength(const float v[3]);
// The fixed quarter turn between an item's frame and the viewing frame of
// cameras and lights: mode 0 about y, mode 1 about x, any other none.
Matrix4x3 axisBaseMatrix(int mode);
// m := m x r.
void postMultiply(Matrix4x3& m, const Matrix4x3& r);
