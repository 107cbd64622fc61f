#include "doppler.hpp"

#include <algorithm>
#include <cmath>

namespace wav {

double doppler_shift(Vec3 listener_position, Vec3 listener_velocity, Vec3 source_position) {
  constexpr double speed_of_sound = 343.3;
  const Vec3 to_listener{listener_position.x - source_position.x, listener_position.y - source_position.y,
                         listener_position.z - source_position.z};
  const double distance =
      std::sqrt(to_listener.x * to_listener.x + to_listener.y * to_listener.y + to_listener.z * to_listener.z);
  // A source at the listener has no direction to project on: the pitch is left alone.
  if (distance == 0.0) return 1.0;
  const double along = (listener_velocity.x * to_listener.x + listener_velocity.y * to_listener.y +
                        listener_velocity.z * to_listener.z) /
                       distance;
  return (speed_of_sound - std::min(along, speed_of_sound)) / speed_of_sound;
}

}  // namespace wav
