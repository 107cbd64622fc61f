#pragma once

#include <cstdint>

/// One frame of mono signed 16-bit PCM in native byte order; frames lie back to back, 2 bytes each.
/// Tone synthesis makes them without OpenAL; a buffer takes them and names their OpenAL format.
struct Mono16 {
  std::int16_t sample;
};
static_assert(sizeof(Mono16) == 2 && alignof(Mono16) == alignof(std::int16_t));
