#include "scene/object_item.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "foundation/report.h"
#include "render/hyper_voxel_surface.h"
#include "render/render_pipeline.h"
#include "render/shader_tables.h"
#include "scene/bone_item.h"
#include "scene/debug_lines.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"
#include "scene/surface_render_object.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"

namespace {

constexpr std::array<const char*, 7> kEventSounds = {
    "D:\\Quillfen\\soundfx\\wurst.wav",
    "D:\\Quillfen\\soundfx\\wurst2.wav",
    "D:\\Tamberlok\\soundfx\\stampfer.wav",
    "D:\\Quillfen\\soundfx\\aufzug.wav",
    "D:\\Quillfen\\soundfx\\tueren_02.wav",
    "D:\\Quillfen\\soundfx\\flinte_shot.wav",
    "D:\\Quillfen\\soundfx\\sfx_all\\blitz01.wav",
};

void translationOf(SceneItem& item, double t, float out[3]) {
  Matrix4x3 world;
  item.worldMatrix(world, t, true);
  std::memcpy(out, &world.m[12], 3 * sizeof(float));
}

}  // namespace

ObjectItem::ObjectItem(Scene* scene, std::int32_t id, ItemType type) : SceneItem(scene, type, id) { nearClip = 0.01f; }

ObjectSoundSource::ObjectSoundSource() = default;
ObjectSoundSource::~ObjectSoundSource() = default;

ObjectItem::~ObjectItem() {
  if (sound) sound->stop();
  sound.reset();  // before the source it was made from
}

void ObjectItem::onDeviceLost() {
  if (particleRenderer) particleRenderer->onDeviceLost();
}

void ObjectItem::onDeviceReset() {
  if (particleRenderer) particleRenderer->onDeviceReset();
}

void ObjectItem::invalidate() {
  SceneItem::invalidate();
  if (SceneNode* mesh = firstMesh()) mesh->beginFrame();
}

SceneNode* ObjectItem::firstMesh() { return meshes.empty() ? nullptr : meshes.front().mesh; }

void ObjectItem::addMesh(SurfaceRenderObject* mesh, float key) {
  auto at = std::find_if(meshes.begin(), meshes.end(), [key](const MeshEntry& e) { return !(e.key < key); });
  meshes.insert(at, MeshEntry{mesh, key});
}

SurfaceRenderObject* ObjectItem::selectMesh(float distance) const {
  if (meshes.empty()) return nullptr;
  if (meshes.size() == 1) return meshes.front().mesh;
  std::size_t below = 0;
  while (below < meshes.size() && meshes[below].key < distance) ++below;
  const int bias = renderer ? renderer->modelLodBias : 0;
  const long long j = static_cast<long long>(below) - bias - 1;
  if (j < 0) return meshes.front().mesh;
  return meshes[std::min<std::size_t>(static_cast<std::size_t>(j), meshes.size() - 1)].mesh;
}

void ObjectItem::prepare() {
  if (body) {
    // The channels, not the body, say where the object starts.
    dBodyID saved = std::exchange(body, nullptr);
    dMatrix3 R;
    getODERotation(R, 0.0);
    Matrix4x3 world;
    invalidate();
    worldMatrix(world, 0.0, false);
    float p[3] = {pivot.x, pivot.y, pivot.z};
    const float x = p[0] * world[0] + p[1] * world[4] + p[2] * world[8] + world[12];
    const float y = p[0] * world[1] + p[1] * world[5] + p[2] * world[9] + world[13];
    const float z = p[0] * world[2] + p[1] * world[6] + p[2] * world[10] + world[14];
    body = saved;
    invalidate();
    dBodySetPosition(body, x, y, z);
    dBodySetRotation(body, R);
  }
  // The colour factor takes the object colour as the device will see it:
  // each channel rounded to a byte.
  const std::uint32_t packed = objectColor.toD3DColor();
  const float tint[4] = {static_cast<float>((packed >> 16) & 0xFF) / 255.0f,
                         static_cast<float>((packed >> 8) & 0xFF) / 255.0f, static_cast<float>(packed & 0xFF) / 255.0f,
                         1.0f};
  for (const MeshEntry& entry : meshes) {
    if (!entry.mesh) continue;
    entry.mesh->computeBounds(true);
    if (!entry.mesh->link) continue;
    for (Surface* surface : entry.mesh->link->surfaces) {
      if (surface) std::memcpy(surface->colorFactor, tint, sizeof tint);
    }
  }
  if (sound && !isEventSound()) {
    sound->play(true);
    sound->setVolume(0.0f);
  }
}

bool ObjectItem::isEventSound() const {
  if (!soundSource) return false;
  return std::any_of(kEventSounds.begin(), kEventSounds.end(),
                     [&](const char* name) { return soundSource->fileName == name; });
}

const Matrix4x3& ObjectItem::boneMatrixAt(BoneItem& bone, double t) {
  if (!bone.poseValid) {
    // Marked first: a parent chain that loops back reads the cached matrix.
    bone.poseValid = true;
    Matrix4x3 local;
    bone.localMatrixAt(local, t);
    if (bone.parentBone) {
      multiplyMatrix(bone.poseMatrix, local, boneMatrixAt(*bone.parentBone, t));
    } else {
      bone.poseMatrix = local;
    }
  }
  return bone.poseMatrix;
}

void ObjectItem::render(double t, SceneItem* camera) {
  if (!renderer) return;
  RenderPipeline& pipeline = *renderer;
  IDirect3DDevice9* device = pipeline.currentDevice;
  Matrix4x3 world;
  worldMatrix(world, t, true);
  pipeline.setWorldMatrix(world);
  if (pipeline.debugGeometry()) drawDebug(t);

  auto* mesh = static_cast<SurfaceRenderObject*>(firstMesh());
  if (mesh && pipeline.constantTable) {
    const std::size_t n = std::min<std::size_t>(mesh->bones.size(), kBonePaletteSize);
    for (std::size_t i = 0; i < n; ++i) {
      BoneItem& bone = *mesh->bones[i];
      if (!bone.inverseRestValid) {
        invertAffine(&bone.inverseRestMatrix, bone.computeRestMatrix(t));
        bone.inverseRestValid = true;
      }
      Matrix4x3 palette;
      multiplyMatrix(palette, bone.inverseRestMatrix, boneMatrixAt(bone, t));
      pipeline.constantTable->setBoneMatrix(static_cast<int>(i), palette);
      if (pipeline.debugGeometry()) bone.drawDebug(t);
    }
  }

  ShaderFlagTable* flags = pipeline.flagTable.get();
  if (flags) *flags->displacement = bumpDisplacement ? 1 : 0;
  if (device) {
    const bool wire = !alwaysSolid && pipeline.wireframe();
    device->SetRenderState(D3DRS_FILLMODE, wire ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
  }
  const bool fogOff = !affectedByFog && flags && *flags->isFogEnabled != 0;
  if (fogOff) {
    *flags->isFogEnabled = 0;
    if (device) device->SetRenderState(D3DRS_FOGENABLE, 0);
  }
  if (objectMaterial) std::memcpy(objectMaterial, objectMaterialValues, sizeof objectMaterialValues);

  if (mesh && camera) {
    float eye[3];
    translationOf(*camera, t, eye);
    float centre[3] = {mesh->centre.x, mesh->centre.y, mesh->centre.z};
    const float c[3] = {centre[0] * world[0] + centre[1] * world[4] + centre[2] * world[8] + world[12],
                        centre[0] * world[1] + centre[1] * world[5] + centre[2] * world[9] + world[13],
                        centre[0] * world[2] + centre[1] * world[6] + centre[2] * world[10] + world[14]};
    const float d = std::sqrt((c[0] - eye[0]) * (c[0] - eye[0]) + (c[1] - eye[1]) * (c[1] - eye[1]) +
                              (c[2] - eye[2]) * (c[2] - eye[2]));
    if (SurfaceRenderObject* shown = selectMesh(d)) shown->draw(t, this, camera);
  }
  if (pipeline.boundingBoxes()) drawBoundingBox();
  if (fogOff) {
    *flags->isFogEnabled = 1;
    if (device) device->SetRenderState(D3DRS_FOGENABLE, 1);
  }
}

void ObjectItem::renderHighlighted(double t, SceneItem* camera) {
  if (!renderer) return;
  renderer->wireframe() = !renderer->wireframe();
  renderer->boundingBoxes() = !renderer->boundingBoxes();
  render(t, camera);
  renderer->wireframe() = !renderer->wireframe();
  renderer->boundingBoxes() = !renderer->boundingBoxes();
}

void ObjectItem::drawBoundingBox() {
  SceneNode* mesh = firstMesh();
  if (!mesh || !renderer || !renderer->constantTable) return;
  Vector4 corners[8];
  mesh->transformBox(g_identityMatrix, corners);
  static constexpr int kEdges[12][2] = {{0, 1}, {1, 5}, {5, 4}, {4, 0}, {2, 3}, {3, 7},
                                        {7, 6}, {6, 2}, {0, 2}, {1, 3}, {5, 7}, {6, 4}};
  Position3 lines[24];
  for (int e = 0; e < 12; ++e) {
    for (int k = 0; k < 2; ++k) {
      const Vector4& c = corners[kEdges[e][k]];
      lines[e * 2 + k] = {c.x, c.y, c.z};
    }
  }
  drawDebugLines(*renderer, renderer->constantTable->world, lines, 12, 0xFFFFFFFF);
}

void ObjectItem::updateSound(SceneItem* listener, double t) {
  if (!sound) return;
  ENGINE_ASSERT(listener && "listener");
  if (!listener || isEventSound()) return;
  float here[3], there[3];
  translationOf(*listener, t, there);
  translationOf(*this, t, here);
  const float d = std::sqrt((there[0] - here[0]) * (there[0] - here[0]) + (there[1] - here[1]) * (there[1] - here[1]) +
                            (there[2] - here[2]) * (there[2] - here[2]));
  const float a = scale[1].evaluate(t);
  // The range compares a squared size with a distance, as the sounds were tuned.
  if (a * a * 0.5f < d) {
    sound->stop();
    return;
  }
  Matrix4x3 world;
  worldMatrix(world, t, true);
  sound->set3DParameters(here[0], here[1], here[2], world[8], world[9], world[10], 0.0f, 0.0f, 0.0f);
  sound->setCone(6.2831855f, 6.2831855f, 0.0f);
  sound->setDistances(scale[1].evaluate(t), scale[2].evaluate(t));
  sound->setVolume((scene ? scene->soundVolume : 1.0f) * a);
  if (!sound->isPlaying()) sound->play(true);
}
