// Prints the notes found in a WAV recording, as the tests find them, for scripts/draw_run.py:
//   wav_notes RUN.wav
// CSV with a header line, one note a line: its start and length in seconds, its frequency in Hz.

#include <iomanip>
#include <iostream>

#include "note_analysis.hpp"
#include "wav_file.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: wav_notes RUN.wav\n";
    return 2;
  }
  const auto signal = wav::read_wav(argv[1]);
  if (!signal) {
    std::cerr << signal.error() << '\n';
    return 1;
  }
  std::cout << "start_s,length_s,frequency_hz\n" << std::fixed;
  for (const wav::HeardNote& note : wav::find_notes(*signal)) {
    std::cout << std::setprecision(6) << note.start_s << ',' << note.length_s << ',' << std::setprecision(4)
              << note.frequency_hz << '\n';
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}
