#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "audio/mono16.hpp"

/// Frames a second, both in the sample formula and as the rate handed to OpenAL.
inline constexpr std::uint32_t frame_rate = 44100;
/// The longest note whose frame count (length times 44100) still fits 32 bits.
inline constexpr std::uint32_t max_tone_length_ms = 97391;

/// Frames for a note of the given length: length times 44100, divided by 1000, remainder dropped.
std::uint32_t tone_frame_count(std::uint32_t length_ms);

/// The frames of a sine note starting at phase 0, every step in single precision in a fixed order,
/// so the same note always yields the same samples. Nothing for a length above `max_tone_length_ms`.
std::optional<std::vector<Mono16>> render_tone(float frequency_hz, std::uint32_t length_ms);
