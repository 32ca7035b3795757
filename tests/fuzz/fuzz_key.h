#pragma once
// The key the seed packages are masked with and the fuzz target reads with.
#include <cstdint>

namespace fuzzing {
constexpr uint32_t kKey = 0x3a5c7e91u;
}
