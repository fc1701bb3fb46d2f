// Cost of one physics step of a race-like world through the scene (near
// callback, space-pair and surface tables, contact joints, world step)
// against a plain ODE loop on an identical world (dSpaceCollide with a
// minimal callback, no tables). Six kart-sized boxes, each with five rays
// re-aimed every step, drive over a ground mesh of 20,000 triangles in a
// hash space. Prints microseconds per step for both and their ratio.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

#include "scene/physics_object.h"
#include "scene/scene.h"
#include "tests/scene/physics_world.h"

namespace {

constexpr int kSteps = 10000;
constexpr int kKarts = 6;
constexpr int kRaysPerKart = 5;
constexpr double kStep = 0.01;
constexpr int kGround = 1, kKart = 2, kSensor = 3;

float rolling(float x, float z) { return 0.3f * std::sin(x * 0.15f) * std::cos(z * 0.11f); }

// The race's sensor rays: contacts are read, no joint is made.
class SensorSurface : public ODEJointSurface {
 public:
  SensorSurface() { m_createJoint = false; }
  ODEJointSurface onContact(const dContactGeom& contact) override {
    depthSum += contact.depth;
    return *this;
  }
  double depthSum = 0.0;
};

struct World {
  std::unique_ptr<SurfaceRenderObject> mesh;
  std::unique_ptr<Scene> scene;
  ODESpacePair collide{true};
  SensorSurface sensor;
  ODEJointSurface kartSurface;
  PhysicsObject* karts[kKarts] = {};
  PhysicsObject* rays[kKarts][kRaysPerKart] = {};
};

std::unique_ptr<World> buildWorld() {
  auto w = std::make_unique<World>();
  w->mesh = makeGroundMesh(100, 2.0f, rolling);  // 100 x 100 quads: 20,000 triangles
  w->scene = std::make_unique<Scene>(nullptr);
  Scene& scene = *w->scene;
  scene.physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
  scene.physics().spacePairTable[0][0] = &w->collide;
  w->kartSurface.m_maxCollisions = 8;
  scene.physics().surfaceTable[kGround][kKart] = scene.physics().surfaceTable[kKart][kGround] = &w->kartSurface;
  scene.physics().surfaceTable[kKart][kKart] = &w->kartSurface;
  for (int other : {kGround, kKart}) {
    scene.physics().surfaceTable[kSensor][other] = scene.physics().surfaceTable[other][kSensor] = &w->sensor;
  }
  PhysicsObject* ground = addPhysicsObject(scene, "ground", kGeomTriMesh, kGround, 0);
  ground->addMesh(w->mesh.get(), 0.0f);
  ground->prepareOnce();
  for (int k = 0; k < kKarts; ++k) {
    PhysicsObject* kart = addPhysicsObject(scene, "kart", kGeomBox, kKart, 0);
    kart->geomSize[0] = 1.2f;
    kart->geomSize[1] = 0.5f;
    kart->geomSize[2] = 1.8f;
    placeAt(*kart, -10.0f + 4.0f * k, 1.0f, -20.0f);
    addBoxBody(scene, *kart, 150.0, 1.2, 0.5, 1.8);
    kart->prepareOnce();
    w->karts[k] = kart;
    for (int r = 0; r < kRaysPerKart; ++r) {
      PhysicsObject* ray = addPhysicsObject(scene, "ray", kGeomRay, kSensor, 0);
      ray->prepareOnce();
      dGeomRaySetLength(ray->geom, 2.0);
      w->rays[k][r] = ray;
    }
  }
  return w;
}

// What the race does to its karts each step: push them to and fro (a push
// stronger than their friction, reversed every two seconds, so they slide
// and turn over changing ground), and aim the sensor rays down from under
// the corners and the centre.
void driveKarts(World& w, int step) {
  const double push = 3500.0 * std::sin(step * kStep * std::numbers::pi / 2.0);
  static const double kOffsets[kRaysPerKart][2] = {{-0.5, -0.8}, {0.5, -0.8}, {-0.5, 0.8}, {0.5, 0.8}, {0.0, 0.0}};
  for (int k = 0; k < kKarts; ++k) {
    dBodyID body = w.karts[k]->body;
    dBodyAddForce(body, 0.3 * push, 0.0, push);
    dBodyAddTorque(body, 0.0, 0.05 * push, 0.0);
    for (int r = 0; r < kRaysPerKart; ++r) {
      dVector3 from;
      dBodyGetRelPointPos(body, kOffsets[r][0], -0.3, kOffsets[r][1], from);
      dVector3 down;
      dBodyVectorToWorld(body, 0.0, -1.0, 0.0, down);
      dGeomRaySet(w.rays[k][r]->geom, from[0], from[1], from[2], down[0], down[1], down[2]);
    }
  }
}

// The plain loop's callback: every pair is tested, rays only report.
struct PlainContext {
  Scene* scene;
  dSurfaceParameters surface;
  double depthSum = 0.0;
};

void plainCallback(void* data, dGeomID o1, dGeomID o2) {
  auto* context = static_cast<PlainContext*>(data);
  const bool sensor = dGeomGetClass(o1) == dRayClass || dGeomGetClass(o2) == dRayClass;
  dContact contacts[8];
  const int n = dCollide(o1, o2, 8, &contacts[0].geom, sizeof(dContact));
  dBodyID b1 = dGeomGetBody(o1), b2 = dGeomGetBody(o2);
  for (int i = 0; i < n; ++i) {
    if (sensor) {
      context->depthSum += contacts[i].geom.depth;
      continue;
    }
    contacts[i].surface = context->surface;
    for (dReal& f : contacts[i].fdir1) f = 0;
    dJointAttach(
        dJointCreateContact(context->scene->physics().world(), context->scene->physics().contactGroup(), &contacts[i]),
        b1, b2);
  }
}

template <typename Step>
double microsecondsPerStep(World& w, Step step) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kSteps; ++i) {
    driveKarts(w, i);
    step();
  }
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  return took.count() / kSteps;
}

}  // namespace

int main() {
  dInitODE2(0);  // held across the two worlds, so the second starts like the first
  auto ours = buildWorld();
  const double oursUs = microsecondsPerStep(*ours, [&] { ours->scene->physicsStep(kStep); });

  auto plain = buildWorld();
  Scene& scene = *plain->scene;
  PlainContext context{&scene, plain->kartSurface.m_surface};
  const double plainUs = microsecondsPerStep(*plain, [&] {
    dSpaceCollide(scene.physics().space(0), &context, plainCallback);
    scene.physics().stepWorld(kStep);
    scene.physics().emptyContacts();
  });

  const dReal* a = dBodyGetPosition(ours->karts[0]->body);
  const dReal* b = dBodyGetPosition(plain->karts[0]->body);
  std::printf("physics step, %d karts x %d rays, %zu ground triangles, %d steps of %.2f s\n", kKarts, kRaysPerKart,
              ours->mesh->cache.indices.size() / 3, kSteps, kStep);
  std::printf("  scene step (near callback and tables): %8.2f us/step\n", oursUs);
  std::printf("  plain ODE loop:                        %8.2f us/step\n", plainUs);
  std::printf("  ratio scene/plain:                     %8.3f (target <= 1.2)\n", oursUs / plainUs);
  std::printf("  kart 0 ends at (%.2f, %.2f, %.2f) and (%.2f, %.2f, %.2f); sensor depth sums %.1f and %.1f\n", a[0],
              a[1], a[2], b[0], b[1], b[2], ours->sensor.depthSum, context.depthSum);
  ours.reset();
  plain.reset();
  dCloseODE();
  return 0;
}
