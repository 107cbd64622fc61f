#pragma once

#include <optional>
#include <span>
#include <type_traits>

#include "audio/library.hpp"

/// The order and the calls of the extension probe on `device` (null for the library-wide probe):
/// whether the extension is present, then each of its constants and functions by name. Absence is
/// recorded, never an error.
struct ExtensionProbe {
  /// Whether `extension` is present, after a read of the error state that clears it: a stale error
  /// must not be taken for a failed look-up of a constant or function.
  bool present(const char* extension) const;
  /// The constant's value; absent when OpenAL gives 0 (no error is read then: 0 is an answer in
  /// itself) or a value with a pending error. Some names then take their standard value.
  std::optional<ALCenum> constant(const char* name) const;
  /// The function's address; null when OpenAL gives none or gives one with a pending error.
  void* function(const char* name) const;

  const EntryPoints& al;
  ALCdevice* device;
};

/// One constant of an extension: its OpenAL name and the field of the record that takes its value.
template <class Extension>
struct ExtensionConstant {
  const char* name;
  std::optional<ALCenum> Extension::*field;
};

/// One function of an extension: its OpenAL name and the `store_function` of the record's typed
/// field that takes its address. Code that needs the function reads the field.
template <class Extension>
struct ExtensionFunction {
  const char* name;
  void (*store)(Extension& found, void* address);
};

/// Stores a function's address in the record's `field`, converted to that field's type.
template <auto field, class Extension>
void store_function(Extension& found, void* address) {
  found.*field = function_cast<std::remove_reference_t<decltype(found.*field)>>(address);
}

/// One function of `Extension` whose record field is named like the OpenAL function, so that the
/// name is written once and the two cannot disagree.
// NOLINTNEXTLINE(bugprone-macro-parentheses): the arguments are a type and a member's name
#define AUDIO_EXTENSION_FUNCTION(Extension, field) \
  { #field, store_function < &Extension::field> }

/// Probes the extension `name`: the record says whether it is present and holds each constant and
/// function of the tables that resolved, asked in table order; the rest stay absent. The tables
/// are constant arrays, which the spans only look at.
template <class Extension>
Extension probe_extension(const ExtensionProbe& probe, const char* name,
                          std::span<const ExtensionConstant<Extension>> constants,
                          std::span<const ExtensionFunction<Extension>> functions) {
  Extension found;
  found.present = probe.present(name);
  if (!found.present) return found;
  for (const auto& [constant, field] : constants) found.*field = probe.constant(constant);
  for (const auto& [function, store] : functions) {
    if (void* address = probe.function(function)) store(found, address);
  }
  return found;
}
