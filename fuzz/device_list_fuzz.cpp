// Fuzzes split_device_list: the fuzzer's bytes followed by two NULs form a device list, which must
// split into the same names as a model built from std::string_view searches, none holding a NUL.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/device.hpp"
#include "report.hpp"

namespace {

// The list ends at the first pair of NULs; the text before it is cut at every NUL, and an empty
// text is one empty name.
std::vector<std::string> model_split(std::string_view bytes) {
  const std::string_view text = bytes.substr(0, bytes.find(std::string_view("\0\0", 2)));
  std::vector<std::string> names;
  std::size_t start = 0;
  while (true) {
    const std::size_t cut = text.find('\0', start);
    if (cut == std::string_view::npos) {
      names.emplace_back(text.substr(start));
      return names;
    }
    names.emplace_back(text.substr(start, cut - start));
    start = cut + 1;
  }
}

std::string describe(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += (text.size() > 1 ? ", " : "") + quoted(name);
  return text + "]";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An allocation of exactly the list's size: reading past the final NUL is a sanitizer report.
  const std::size_t length = size + 2;
  const std::unique_ptr<char[]> list(new char[length]);
  std::memcpy(list.get(), data, size);
  list[size] = '\0';
  list[size + 1] = '\0';
  const std::string_view bytes(list.get(), length);

  const std::vector<std::string> got = split_device_list(list.get());
  const std::vector<std::string> expected = model_split(bytes);
  if (got != expected) report_mismatch("split_device_list", bytes, describe(got), describe(expected));
  for (const std::string& name : got) {
    if (name.contains('\0')) report_mismatch("split_device_list", bytes, describe(got), "no NUL in a name");
  }
  if (!split_device_list(nullptr).empty()) report_mismatch("split_device_list(nullptr)", {}, "names", "[]");
  return 0;
}
