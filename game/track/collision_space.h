// The collision spaces a track scene lists, by their index in the scene's
// list, and the pairs of them whose geoms the race tests against each other.
// Spaces 2, 6, 7 and 8 meet others but the sample tracks put nothing in them.
#pragma once

enum CollisionSpaceIndex : int {
  kSpaceTop = 0,  // holds all the others
  kSpaceGround = 1,
  kSpaceReserved = 2,  // so named in the track scenes
  kSpaceKartRays = 3,
  kSpaceKarts = 4,
  kSpaceObstacles = 5,  // also the karts' rockets and laser beams
  kSpaceRockets = 6,
  kSpaceWeapons = 7,
  kSpaceEffects = 8,
  kSpaceWalls = 9,  // also the computer drivers' karts
  kSpaceMarkers = 10,
  kSpaceFallZones = 11,
};

// Each pair meets in both orders; all others collide nothing.
inline constexpr int kRaceSpacePairs[][2] = {
    {kSpaceGround, kSpaceKartRays},    {kSpaceGround, kSpaceObstacles},   {kSpaceReserved, kSpaceKarts},
    {kSpaceReserved, kSpaceObstacles}, {kSpaceKartRays, kSpaceFallZones}, {kSpaceKarts, kSpaceKarts},
    {kSpaceKarts, kSpaceObstacles},    {kSpaceKarts, kSpaceRockets},      {kSpaceKarts, kSpaceWeapons},
    {kSpaceKarts, kSpaceWalls},        {kSpaceKarts, kSpaceMarkers},      {kSpaceObstacles, kSpaceObstacles},
    {kSpaceObstacles, kSpaceWalls},    {kSpaceRockets, kSpaceWalls},      {kSpaceWeapons, kSpaceWalls},
    {kSpaceEffects, kSpaceWalls},      {kSpaceWalls, kSpaceWalls},        {kSpaceWalls, kSpaceMarkers},
};

// A space of at most this many members (geoms and sub-spaces) collides
// faster as a simple space than as a hash space, which allocates on every
// pass: the race makes such spaces simple once everything is in place.
inline constexpr int kMostMembersOfASimpleSpace = 16;
