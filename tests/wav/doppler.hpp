#pragma once

namespace wav {

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// The factor by which OpenAL 1.1 shifts the pitch of a source at rest for the listener, at its
// default speed of sound (343.3) and Doppler factor (1), which the program keeps: the listener's
// velocity is projected on the source-to-listener direction, capped at the speed of sound, and
// f' = f * (SS - vls) / SS.
double doppler_shift(Vec3 listener_position, Vec3 listener_velocity, Vec3 source_position);

}  // namespace wav
