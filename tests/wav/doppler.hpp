#pragma once

namespace wav {

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// The factor by which OpenAL 1.1 shifts a source's pitch for the listener, at its default speed
// of sound (343.3) and Doppler factor (1), which the program keeps: the velocities are projected
// on the source-to-listener direction, each capped at the speed of sound, and
// f' = f * (SS - vls) / (SS - vss).
double doppler_shift(Vec3 listener_position, Vec3 listener_velocity, Vec3 source_position, Vec3 source_velocity);

}  // namespace wav
