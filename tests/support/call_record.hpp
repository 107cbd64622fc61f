#pragma once

// The words tests use for what they read: the fake OpenAL library's call record, a program's
// output and its fatal error reports.

#include <sstream>
#include <string>
#include <vector>

/// Lines of the fake's call record ("alGenSources(1, [1])"), or of a program's output.
using Lines = std::vector<std::string>;

/// The lines of `text`, without their line ends.
inline Lines lines_of(const std::string& text) {
  Lines lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

/// How every fatal error report starts, and how those about a result that held an error go on.
inline const std::string fatal_report_lead = "thread 'main' stopped: ";
inline const std::string required_report_lead = fatal_report_lead + "a required result held an error: ";

/// The function a record line is about: "alGenSources(1, [1])" gives "alGenSources".
inline std::string function_of(const std::string& call) { return call.substr(0, call.find('(')); }

/// The functions of record lines, in order.
inline Lines functions_of(const Lines& calls) {
  Lines functions;
  functions.reserve(calls.size());
  for (const std::string& call : calls) functions.push_back(function_of(call));
  return functions;
}

/// The record lines without those of make_current: alcSetThreadContext and alcMakeContextCurrent.
inline Lines without_make_current(const Lines& calls) {
  Lines kept;
  for (const std::string& call : calls) {
    const std::string function = function_of(call);
    if (function != "alcSetThreadContext" && function != "alcMakeContextCurrent") kept.push_back(call);
  }
  return kept;
}

/// The functions with which a run lets go of its audio once nothing else holds it: no context
/// current, the context destroyed, then the device closed (the library is closed after it, which
/// the record cannot show).
inline const Lines release_of_a_run{"alcSetThreadContext", "alcDestroyContext", "alcCloseDevice"};

/// The lines a run of 3 discs prints after its device line: the solution, one move a line.
inline const Lines three_disc_moves{"Moving disc size 1/1 from 1 to 3", "Moving disc size 2/2 from 1 to 2",
                                    "Moving disc size 1/1 from 3 to 2", "Moving disc size 3/3 from 1 to 3",
                                    "Moving disc size 1/1 from 2 to 1", "Moving disc size 2/2 from 2 to 3",
                                    "Moving disc size 1/1 from 1 to 3"};

/// `first`, then `then`.
inline Lines joined(Lines first, const Lines& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}
