#include "doppler.hpp"

#include <algorithm>
#include <cmath>

namespace wav {

double doppler_shift(Vec3 listener_position, Vec3 listener_velocity, Vec3 source_position, Vec3 source_velocity) {
  constexpr double speed_of_sound = 343.3;
  const Vec3 to_listener{listener_position.x - source_position.x, listener_position.y - source_position.y,
                         listener_position.z - source_position.z};
  const double distance =
      std::sqrt(to_listener.x * to_listener.x + to_listener.y * to_listener.y + to_listener.z * to_listener.z);
  // A source at the listener has no direction to project on: the pitch is left alone.
  if (distance == 0.0) return 1.0;
  const auto along = [&](Vec3 v) {
    return (v.x * to_listener.x + v.y * to_listener.y + v.z * to_listener.z) / distance;
  };
  const double vls = std::min(along(listener_velocity), speed_of_sound);
  const double vss = std::min(along(source_velocity), speed_of_sound);
  return (speed_of_sound - vls) / (speed_of_sound - vss);
}

}  // namespace wav
