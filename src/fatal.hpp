#pragma once

#include <concepts>
#include <expected>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

/// Carries a fatal stop from the failing check up to the entry. By the time it is thrown the
/// report is on standard error; unwinding to the entry releases everything acquired so far,
/// latest first, and the entry then exits with `fatal_exit_status`. Only `fatal` throws it.
struct FatalStop {};

inline constexpr int fatal_exit_status = 101;

/// The one-line fatal error report: thread "main", the message and the position of the failing
/// check, without the trailing newline.
std::string fatal_report(std::string_view message, const std::source_location& where);

/// Writes the fatal error report to standard error, then unwinds to the entry.
[[noreturn]] void fatal(std::string_view message, std::source_location where = std::source_location::current());

/// Writes the fatal error report and ends the process at once with status 101. Only for the places
/// that cannot unwind (a destructor); everything else uses `fatal`.
[[noreturn]] void fatal_exit(std::string_view message, std::source_location where = std::source_location::current());

/// The lead-in of every report about a result that had to hold a value.
inline constexpr std::string_view required_lead_in = "a required result held an error: ";

template <class E>
concept DebugForm = requires(const E& error) {
  { error.debug() } -> std::convertible_to<std::string>;
};

/// The value of a result that must hold one; an error is a fatal stop showing its debug form.
template <class T, DebugForm E>
T required(std::expected<T, E>&& result, std::source_location where = std::source_location::current()) {
  if (!result) fatal(std::string(required_lead_in) + result.error().debug(), where);
  if constexpr (!std::is_void_v<T>) return std::move(*result);
}
