// The OpenAL32.dll bridge (openal_bridge.cpp) as the Windows program uses it: loaded with
// LoadLibrary, looked into with GetProcAddress and called with Windows' convention. OpenAL Soft
// writes what it plays to the WAV file of ALSOFT_CONF, which CMake sets for these tests.

#include <windows.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/library.hpp"
#include "gtest/gtest.h"

namespace {

/// The library at `path`, freed at the end of the test.
struct LoadedBridge {
  explicit LoadedBridge(const char* path) : module(LoadLibraryA(path)) {}
  LoadedBridge(const LoadedBridge&) = delete;
  LoadedBridge& operator=(const LoadedBridge&) = delete;
  ~LoadedBridge() {
    if (module != nullptr) FreeLibrary(module);
  }

  void* address(const char* name) const {
    // GetProcAddress gives a FARPROC; the table's types are OpenAL's.
    return reinterpret_cast<void*>(GetProcAddress(module, name));
  }

  HMODULE module;
};

/// Every core function of `bridge`, looked up as the program looks them up.
EntryPoints entry_points(const LoadedBridge& bridge) {
  EntryPoints table;
#define BRIDGE_LOOK_UP(type, name) table.name = function_cast<type>(bridge.address(#name));
  AUDIO_ALC_ENTRY_POINTS(BRIDGE_LOOK_UP)
  AUDIO_AL_ENTRY_POINTS(BRIDGE_LOOK_UP)
#undef BRIDGE_LOOK_UP
  return table;
}

TEST(OpenAlBridge, ExportsEveryCoreFunctionTheMissingVariantAllButAlcCaptureSamples) {
  struct Variant {
    const char* path;
    std::string missing;  // the one core function it lacks, if any
  };
  for (const auto& [path, missing] :
       {Variant{OPENAL_BRIDGE_PATH, ""}, Variant{OPENAL_BRIDGE_MISSING_PATH, "alcCaptureSamples"}}) {
    SCOPED_TRACE(path);
    const LoadedBridge bridge(path);
    ASSERT_NE(bridge.module, nullptr) << "LoadLibrary failed with error " << GetLastError();
    const auto check = [&](const char* name) {
      SetLastError(0);
      if (name == missing) {
        EXPECT_EQ(bridge.address(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND) << name;
      } else {
        EXPECT_NE(bridge.address(name), nullptr) << name;
      }
    };
#define BRIDGE_CHECK(type, name) check(#name);
    AUDIO_ALC_ENTRY_POINTS(BRIDGE_CHECK)
    AUDIO_AL_ENTRY_POINTS(BRIDGE_CHECK)
#undef BRIDGE_CHECK
  }
}

TEST(OpenAlBridge, LookUpsGiveTheBridgesOwnFunctionsOrNull) {
  const LoadedBridge bridge(OPENAL_BRIDGE_PATH);
  ASSERT_NE(bridge.module, nullptr) << "LoadLibrary failed with error " << GetLastError();
  const EntryPoints al = entry_points(bridge);
  // A core function by either look-up is the export itself.
  EXPECT_EQ(al.alcGetProcAddress(nullptr, "alcOpenDevice"), bridge.address("alcOpenDevice"));
  EXPECT_EQ(al.alcGetProcAddress(nullptr, "alBufferData"), bridge.address("alBufferData"));
  EXPECT_EQ(al.alGetProcAddress("alListener3f"), bridge.address("alListener3f"));
  // The extension functions the program asks for are wrapped; other names OpenAL Soft knows
  // (HRTF's reset, EFX) and names it does not know give null.
  for (const char* name : {"alcSetThreadContext", "alcGetThreadContext", "alcLoopbackOpenDeviceSOFT",
                           "alcIsRenderFormatSupportedSOFT", "alcRenderSamplesSOFT", "alcGetInteger64vSOFT"}) {
    EXPECT_NE(al.alcGetProcAddress(nullptr, name), nullptr) << name;
  }
  EXPECT_EQ(al.alcGetProcAddress(nullptr, "alcResetDeviceSOFT"), nullptr);
  EXPECT_EQ(al.alcGetProcAddress(nullptr, "alcNoSuchFunction"), nullptr);
  EXPECT_EQ(al.alGetProcAddress("alGenEffects"), nullptr);
}

TEST(OpenAlBridge, PlaysABufferThroughOpenAlSoft) {
  const LoadedBridge bridge(OPENAL_BRIDGE_PATH);
  ASSERT_NE(bridge.module, nullptr) << "LoadLibrary failed with error " << GetLastError();
  const EntryPoints al = entry_points(bridge);
  ALCdevice* device = al.alcOpenDevice(nullptr);
  ASSERT_NE(device, nullptr);
  ALCcontext* context = al.alcCreateContext(device, nullptr);
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(al.alcMakeContextCurrent(context), ALC_TRUE);

  // Floats travel in other registers under each convention: three of them there and back.
  al.alListener3f(AL_POSITION, 1.5F, -2.0F, 0.25F);
  ALfloat x = 0;
  ALfloat y = 0;
  ALfloat z = 0;
  al.alGetListener3f(AL_POSITION, &x, &y, &z);
  EXPECT_EQ(x, 1.5F);
  EXPECT_EQ(y, -2.0F);
  EXPECT_EQ(z, 0.25F);

  // A tenth of a second of 440 Hz, played to its end.
  constexpr ALsizei rate = 44100;
  std::vector<ALshort> samples(rate / 10);
  for (std::size_t k = 0; k < samples.size(); ++k) {
    samples[k] = static_cast<ALshort>(10000 * std::sin(2 * 3.14159265 * 440 * static_cast<double>(k) / rate));
  }
  ALuint source = 0;
  ALuint buffer = 0;
  al.alGenSources(1, &source);
  al.alGenBuffers(1, &buffer);
  al.alBufferData(buffer, AL_FORMAT_MONO16, samples.data(), static_cast<ALsizei>(samples.size() * sizeof(ALshort)),
                  rate);
  al.alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
  al.alSourcePlay(source);
  EXPECT_EQ(al.alGetError(), AL_NO_ERROR);
  ALint state = AL_PLAYING;
  for (int wait = 0; wait < 100 && state == AL_PLAYING; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    al.alGetSourcei(source, AL_SOURCE_STATE, &state);
  }
  EXPECT_EQ(state, AL_STOPPED);

  // The device clock, through the bridge's wrapper of an extension function, has run past the note.
  const auto get_integer64 =
      function_cast<LPALCGETINTEGER64VSOFT>(al.alcGetProcAddress(device, "alcGetInteger64vSOFT"));
  ASSERT_NE(get_integer64, nullptr);
  ALCint64SOFT clock_ns = 0;
  get_integer64(device, ALC_DEVICE_CLOCK_SOFT, 1, &clock_ns);
  EXPECT_GE(clock_ns, 100'000'000);
  EXPECT_EQ(al.alcGetError(device), ALC_NO_ERROR);

  al.alDeleteSources(1, &source);
  al.alDeleteBuffers(1, &buffer);
  al.alcMakeContextCurrent(nullptr);
  al.alcDestroyContext(context);
  ASSERT_EQ(al.alcCloseDevice(device), ALC_TRUE);

  // The wave writer has finished its file: the note is in it.
  std::ifstream file(OPENAL_BRIDGE_WAVE_PATH, std::ios::binary);
  const std::string wave{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const std::size_t data = wave.find("data");
  ASSERT_NE(data, std::string::npos);
  EXPECT_NE(wave.find_first_not_of('\0', data + 8), std::string::npos) << "only silence was written";
}

}  // namespace
