// The LightWave scene loader: a scene file (text, "LWSC" version 3) fills a
// scene with its objects, bones, lights and cameras, their motions, the
// scene-wide settings and the engine's plug-in blocks (physics, collision
// spaces, particle effects, object sounds). A second call on the same scene
// merges the object section of another scene file into it.
#pragma once

#include <string>

class File;
class Scene;
struct LoadingProgressDisplay;

// Reads `fileName` through a clone of `file`; the display, when given, is
// advanced from `progressStart` by up to `progressSpan` once per object.
// False after a report when the file is missing, not a scene file of
// version 3, or has no camera motion. Items made before a failure stay.
bool loadLWS(Scene& scene, LoadingProgressDisplay* display, File* file, const std::string& fileName,
             double progressStart, double progressSpan);
