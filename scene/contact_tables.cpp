#include "scene/contact_tables.h"

#include <cstring>

ODEJointSurface::ODEJointSurface() {
  // Zeroed first: ODE 0.16 has fields the engine never sets, and a subclass
  // that switches on bounce, motion or slip must set those itself.
  std::memset(&m_surface, 0, sizeof m_surface);
  m_surface.mode = kDefaultContactMode;
  m_surface.mu = 1.5;
  m_surface.mu2 = 1.5;
  m_surface.bounce = 1.0;
  m_surface.soft_erp = 0.2;
  m_surface.soft_cfm = 0.005;
}

ODEJointSurface ODEJointSurface::onContact(const dContactGeom&) { return *this; }
