#pragma once

#include <concepts>
#include <expected>
#include <new>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

/// Carries a fatal stop from the failing check up to the entry. By the time it is thrown the
/// report is on standard error; unwinding to the entry releases everything acquired so far,
/// latest first, and the entry then exits with `ExitStatus::Fatal`. Only `fatal` and a failed
/// allocation throw it.
struct FatalStop {};

/// The fatal stop of a failed allocation; a `std::bad_alloc` too, as whatever called the allocator
/// expects.
struct AllocationStop : std::bad_alloc, FatalStop {};

/// Writes the fatal error report to standard error, then unwinds to the entry.
[[noreturn]] void fatal(std::string_view message, std::source_location where = std::source_location::current());

/// Writes the fatal error report and ends the process with `ExitStatus::Fatal` (std::exit, without
/// unwinding). Only for what cannot unwind: the last release of the audio library, a destructor that
/// may run while a fatal stop unwinds. Everything else uses `fatal`.
[[noreturn]] void fatal_exit(std::string_view message, std::source_location where = std::source_location::current());

/// Makes an allocation that fails anywhere in the run a fatal stop instead of an abort: the report
/// is written (without allocating), then the run unwinds to the entry.
void stop_on_failed_allocation();

/// The lead-in of every report about a result that had to hold a value.
inline constexpr std::string_view required_lead_in = "a required result held an error: ";

template <class E>
concept DebugForm = requires(const E& error) {
  { error.debug() } -> std::convertible_to<std::string>;
};

/// The value of a result that must hold one. Can stop the run: an error is a fatal stop showing its
/// debug form.
template <class T, DebugForm E>
T required(std::expected<T, E>&& result, std::source_location where = std::source_location::current()) {
  if (!result) fatal(std::string(required_lead_in) + result.error().debug(), where);
  if constexpr (!std::is_void_v<T>) return std::move(*result);
}
