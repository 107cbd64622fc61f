// The program itself, run as a user runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/call_record.hpp"
#include "support/run_program.hpp"

namespace {

const std::string program = HANOI_CHIMES_PATH;

/// OpenAL Soft's null backend: one device, "No Output", and nothing to hear.
const std::vector<std::string> null_backend{"ALSOFT_DRIVERS=null", "ALSOFT_CONF", "LD_LIBRARY_PATH"};

/// The playback devices that openal-info lists with the same environment.
std::vector<std::string> openal_info_devices(const std::vector<std::string>& env) {
  // Its status is not looked at: it lists the devices first and fails afterwards if it cannot open one.
  const ProgramRun info = run_program({"/usr/bin/openal-info"}, env);
  std::vector<std::string> devices;
  bool listing = false;
  for (const std::string& line : info.out_lines()) {
    if (line == "Available playback devices:") {
      listing = true;
    } else if (listing && line.starts_with("    ")) {
      devices.push_back(line.substr(4));
    } else {
      listing = false;
    }
  }
  return devices;
}

std::vector<std::string> device_lines(const ProgramRun& run) {
  std::vector<std::string> devices;
  for (const std::string& line : run.out_lines())
    if (line.starts_with("Found device: ")) devices.push_back(line.substr(14));
  return devices;
}

/// One stderr line naming the thread, the lead-in with the debug form, and a source position.
void expect_fatal_report(const ProgramRun& run, const std::string& debug_form) {
  EXPECT_EQ(run.status, 101);
  ASSERT_EQ(run.err_lines().size(), 1U) << run.err;
  EXPECT_TRUE(run.err.ends_with("\n"));
  const std::string lead = required_report_lead + debug_form + ", at src/";
  const std::string line = run.err_lines().front();
  EXPECT_TRUE(line.starts_with(lead)) << line;
  // The position of the failing check: a source file, its line and its column.
  const std::string position = line.substr(std::min(line.size(), lead.size() - 4));
  EXPECT_EQ(std::count(position.begin(), position.end(), ':'), 2) << line;
  EXPECT_NE(position.find(".cpp:"), std::string::npos) << line;
}

TEST(Program, BadDiscCountStopsBeforeAnythingElse) {
  // One count for each check the program makes before any audio work: it parses, it is in range, it is
  // text, also an argument after it (which texts each check refuses, the disc-count and text tests
  // pin). The report goes out in one write, also when an argument's raw form makes it over a kilobyte.
  const struct {
    Lines args;
    std::string debug_form;
  } cases[] = {
      {{""}, "Empty"},  // an empty argument is a count that does not parse, not a missing one
      {{"65"}, "OutOfRange { count: 65, min: 1, max: 64 }"},
      {{"caf\xC3"}, R"("caf\xC3")"},
      {{"1", "ok", "\xFF"}, R"("\xFF")"},
      {{"\xFF" + std::string(1100, 'x')}, R"("\xFF)" + std::string(1100, 'x') + "\""},
  };
  for (const auto& [args, debug_form] : cases) {
    SCOPED_TRACE(args.back());
    const ProgramRun run = run_keeping_writes_apart(joined({program}, args), null_backend);
    EXPECT_EQ(run.out, "");  // not even a device line: audio never started
    expect_fatal_report(run, debug_form);
    EXPECT_EQ(run.err_writes, Lines{run.err});
  }
}

TEST(Program, ThreeDiscsWithTheNullBackend) {
  const ProgramRun run = run_under_memcheck({program, "3", "ignored", "arguments"}, null_backend);
  EXPECT_EQ(run.memcheck, "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::string expected = "Found device: No Output\n";
  for (const std::string& line : three_disc_moves) expected += line + "\n";
  EXPECT_EQ(run.out, expected);
}

TEST(Program, OneDiscWithLeadingPlusAndZeros) {
  const ProgramRun run = run_program({program, "+0001"}, null_backend);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Found device: No Output\nMoving disc size 1/1 from 1 to 3\n");
  EXPECT_EQ(run.err, "");
}

TEST(Program, DeviceLinesAreTheDevicesOpenAlSoftLists) {
  const auto listed = openal_info_devices(null_backend);
  ASSERT_FALSE(listed.empty());
  const ProgramRun run = run_program({program, "1"}, null_backend);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(device_lines(run), listed);
  EXPECT_EQ(run.out_lines().size(), listed.size() + 1);
}

TEST(Program, ADeviceThatCannotBeOpenedIsReportedAfterTheDeviceLines) {
  // OpenAL Soft's ALSA backend lists "ALSA Default" without opening it; pointed at an ALSA device
  // that does not exist, opening it fails whatever sound hardware this machine has.
  TempDir dir;
  write_file(dir.file("alsoft.conf"), "drivers=alsa\n[alsa]\ndevice=hanoi-chimes-no-such-device\n");
  std::vector<std::string> env{"ALSOFT_CONF=" + dir.file("alsoft.conf"), "ALSOFT_DRIVERS", "ALSOFT_LOGLEVEL=0",
                               "LD_LIBRARY_PATH"};
#ifdef HANOI_SANITIZED
  // libasound keeps memory after the failed open and is unloaded before the leak check, so
  // LeakSanitizer cannot tell whose it is; memcheck can, and checks this run in the plain build.
  // Any other sanitizer report still ends the run with status 99 and shows on standard error.
  env.push_back("ASAN_OPTIONS=detect_leaks=0:exitcode=99");
#endif
  const auto listed = openal_info_devices(env);
  ASSERT_FALSE(listed.empty());
  const ProgramRun run = run_under_memcheck({program, "3"}, env);
  EXPECT_EQ(run.memcheck, "");
  EXPECT_EQ(run.status, 101);
  EXPECT_EQ(device_lines(run), listed);
  EXPECT_EQ(run.out_lines().size(), listed.size());  // no move was made
  // ALSA itself may complain on standard error first; the report is the last line.
  ASSERT_FALSE(run.err_lines().empty());
  ProgramRun report_only = run;
  report_only.err = run.err_lines().back() + "\n";
  expect_fatal_report(report_only, "InvalidDevice");
}

TEST(Program, ARecordingWhoseDiskIsFullEndsTheRunAsALostDevice) {
  // OpenAL Soft's wave writer reports the device lost when it cannot write; /dev/full refuses
  // every write.
  TempDir dir;
  write_file(dir.file("alsoft.conf"), "drivers=wave\n[wave]\nfile=/dev/full\n");
  const ProgramRun run =
      run_program({program, "3"}, {"ALSOFT_CONF=" + dir.file("alsoft.conf"), "ALSOFT_DRIVERS", "LD_LIBRARY_PATH"});
  EXPECT_EQ(run.status, 2);
  ASSERT_GE(run.out_lines().size(), 2U);
  EXPECT_EQ(run.out_lines().front(), "Found device: Wave File Writer");
  EXPECT_EQ(run.out_lines().back(), "Failed to play sound: AUDIO ERROR: ALC Invalid Device");
}

}  // namespace
