#pragma once

namespace wav {

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// The factor by which OpenAL 1.1 shifts a source's pitch for the listener: the velocities are
// projected on the source-to-listener direction, each capped at the speed of sound over the
// Doppler factor, and f' = f * (SS - DF * vls) / (SS - DF * vss).
double doppler_shift(Vec3 listener_position, Vec3 listener_velocity, Vec3 source_position, Vec3 source_velocity,
                     double speed_of_sound = 343.3, double doppler_factor = 1.0);

}  // namespace wav
