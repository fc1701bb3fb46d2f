// The headers nearly every test program includes, precompiled once for all
// of them: GoogleTest and GoogleMock and the standard library's heavier
// parts. Only headers that do not change with our code belong here.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
