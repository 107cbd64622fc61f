// The 64-bit FNV-1a hash by which tests name sample data, and its text: the fake OpenAL library
// records each alBufferData call's data this way, and the reference frames give theirs the same
// way. Header-only, so that the fake, a shared library of its own, uses the same code.
#pragma once

#include <cstdint>
#include <span>
#include <string>

inline constexpr std::uint64_t fnv1a_offset_basis = 0xcbf29ce484222325ULL;
inline constexpr std::uint64_t fnv1a_prime = 0x100000001b3ULL;

/// `hash` (a running hash, or the offset basis to start one) with `bytes` folded in.
constexpr std::uint64_t fnv1a(std::span<const unsigned char> bytes, std::uint64_t hash = fnv1a_offset_basis) {
  for (const unsigned char byte : bytes) hash = (hash ^ byte) * fnv1a_prime;
  return hash;
}

/// A hash as 16 lower-case hex digits, leading zeros kept.
inline std::string hex16(std::uint64_t hash) {
  std::string text(16, '0');
  for (auto digit = text.rbegin(); digit != text.rend(); ++digit, hash >>= 4U) *digit = "0123456789abcdef"[hash & 0xFU];
  return text;
}
