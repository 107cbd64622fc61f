#include "output.hpp"

void write_line(std::ostream& out, std::string_view line, std::source_location where) {
  clear_write_error();
  if (out.write(line.data(), static_cast<std::streamsize>(line.size())).flush()) return;
  stop_on_failed_write(where);
}
