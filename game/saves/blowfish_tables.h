// Blowfish's published starting key schedule, kept apart from the cipher so
// that the long constant tables do not hide the code.
#pragma once

#include <cstdint>

extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];
