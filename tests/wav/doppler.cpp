#include "doppler.hpp"

#include <algorithm>
#include <cmath>

namespace wav {

double doppler_shift(Vec3 listener_position, Vec3 listener_velocity, Vec3 source_position, Vec3 source_velocity,
                     double speed_of_sound, double doppler_factor) {
  const Vec3 to_listener{listener_position.x - source_position.x, listener_position.y - source_position.y,
                         listener_position.z - source_position.z};
  const double distance =
      std::sqrt(to_listener.x * to_listener.x + to_listener.y * to_listener.y + to_listener.z * to_listener.z);
  // A source at the listener has no direction to project on, and a factor of 0 turns the effect
  // off: both leave the pitch alone.
  if (distance == 0.0 || doppler_factor == 0.0) return 1.0;
  const auto along = [&](Vec3 v) {
    return (v.x * to_listener.x + v.y * to_listener.y + v.z * to_listener.z) / distance;
  };
  const double cap = speed_of_sound / doppler_factor;
  const double vls = std::min(along(listener_velocity), cap);
  const double vss = std::min(along(source_velocity), cap);
  return (speed_of_sound - doppler_factor * vls) / (speed_of_sound - doppler_factor * vss);
}

}  // namespace wav
