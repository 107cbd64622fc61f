/*
 * Fake OpenAL 1.1 library for tests: libopenal.so with every core AL and ALC entry point, a record
 * of every call and injectable failures. The program loads it with dlopen exactly as it loads the
 * real library; tests steer it through the control functions below (see fake_control.hpp). It
 * simulates the calls the program makes; any other entry point records its name alone, as
 * "alSourceStop(...)", and returns 0 or NULL.
 *
 * BEHAVIOUR
 *   Devices and contexts are numbered in creation order (dev1, dev2, ... and ctx1, ctx2, ...);
 *   alcOpenDevice opens any name. A closed device or destroyed context stays known until
 *   fake_openal_reset, as stale (ALC_INVALID_DEVICE / ALC_INVALID_CONTEXT). Closing a device or
 *   destroying a context releases nothing else: the live_* counters count what was never released.
 *   alcGetString answers the device lists and default names from the configuration; alcGetIntegerv
 *   the version and, on an opened device, ALC_MAX_AUXILIARY_SENDS and ALC_CONNECTED (1 until a
 *   disconnect= rule hits); alcGetInteger64vSOFT there ALC_DEVICE_LATENCY_SOFT. alcGetEnumValue and
 *   alGetEnumValue know the constants of the extensions offered; AL_EXT_FLOAT32 is the one AL
 *   extension. alcGetProcAddress hands out alcSetThreadContext, alcGetThreadContext,
 *   alcGetInteger64vSOFT and the three ALC_SOFT_loopback functions, which are not exported by name.
 *
 *   Errors: one pending ALC error per device plus one for the null device (a new error replaces
 *   it), one AL error per context (the first stays until read). alcGetError and alGetError return
 *   and clear it; alcGetError on an unknown device returns ALC_INVALID_DEVICE, alGetError without a
 *   current context AL_INVALID_OPERATION. alcMakeContextCurrent sets the process-wide context and
 *   clears the calling thread's own; alcSetThreadContext sets the thread's own, which wins. AL
 *   calls act on the current context; without one they do nothing.
 *
 *   Sources and buffers belong to their context, named from one counter shared by both kinds and
 *   all contexts, so a name of the wrong kind or context is caught (AL_INVALID_NAME).
 *   alSourcei(AL_BUFFER) attaches a buffer (0 detaches); other parameters are ignored. An attached
 *   buffer cannot be deleted (AL_INVALID_OPERATION). alBufferData checks the buffer's name, a size
 *   of at least 0 and a frequency of at least 1, and keeps nothing of the data. The listener keeps
 *   what alListenerfv sets for alGetListenerfv.
 *
 * CALL RECORD
 *   One line per call, in call order, failing calls and extension functions included:
 *       name(arg, ...)  or  name(arg, ...) = result  or  name(arg, ...) = [output, ...]
 *   Arguments in declaration order, output pointers and sample data left out: integers in decimal;
 *   enums and error codes as 0x and upper-case hex (0x1005, 0xA003; a result too: 0x0); booleans
 *   0 or 1; floats in their shortest round-trip form (0.5, -1, 1e+30); strings as "..." with bytes
 *   outside 0x20..0x7E, " and \ as \xNN; handles as dev1, ctx2, or dev? / ctx? for a pointer never
 *   issued; arrays as [1,0,-1]; a NULL pointer as null. Particular forms:
 *       alcGetString(null, 0x1005) = "Fake Device\x00\x00"   the configured bytes exactly
 *       alcCreateContext(dev1, [4103,44100,0]) = ctx1       attributes through the terminating 0
 *       alcGetProcAddress(null, "alcSetThreadContext") = &alcSetThreadContext
 *       alcGetIntegerv(null, 0x1000, 1) = [1]                = [] when nothing was written
 *       alGenSources(1, [3])  alDeleteSources(1, [3])        names made ([] if none) / passed in
 *       alListenerfv(0x100F, [0,0,-1,0,1,0])                 6 values for the orientation, 3 for
 *                                                            position and velocity, else 1
 *       alBufferData(2, 0x1101, size=8820, freq=44100, fnv=85944171f73967e8)
 *           fnv: 16 lower-case hex digits of the data's 64-bit FNV-1a hash; data=null for NULL
 *
 * CONFIGURATION
 *   key=value entries separated by newlines or ';', blanks around them ignored. In byte values \0
 *   stands for a NUL and \xNN for any byte; the word null stands for a NULL string.
 *       devices=<bytes>|null             "Fake Device\0\0"  ALC_DEVICE_SPECIFIER list
 *       all_devices=<bytes>|null         "Fake Device\0\0"  ALC_ALL_DEVICES_SPECIFIER list
 *       default_device=<bytes>|null      "Fake Device"      ALC_DEFAULT_DEVICE_SPECIFIER
 *       default_all_device=<bytes>|null  "Fake Device"      ALC_DEFAULT_ALL_DEVICES_SPECIFIER
 *       null_version=M.m|untouched       1.1  version on the null device (untouched: none written)
 *       device_version=M.m|untouched     1.1  version on an opened device
 *       null_extensions=<names>          ALC_ENUMERATE_ALL_EXT ALC_SOFT_loopback
 *                                        ALC_EXT_thread_local_context
 *       device_extensions=<names>        ALC_ENUMERATE_ALL_EXT ALC_EXT_EFX ALC_SOFT_loopback
 *                                        ALC_EXT_thread_local_context ALC_EXT_disconnect
 *                                        ALC_SOFT_device_clock
 *       max_aux_sends=<int>              2    ALC_MAX_AUXILIARY_SENDS
 *       latency_ns=<int>                 25000000  ALC_DEVICE_LATENCY_SOFT
 *       fail=<function>[@<arg>]:<N>:<code>[:always]
 *       error=<function>[@<arg>]:<N>:<code>[:always]
 *       disconnect=<function>[@<arg>]:<N>[:always]
 *   A rule counts the calls to <function> (an entry point or extension function) made after it was
 *   configured; with @<arg> only calls with an argument recorded as <arg> exactly (0x313) or as
 *   the string "<arg>". The N-th counted call is hit (with :always, every one from the N-th on).
 *   <code> is decimal or 0x hex; 0 leaves the error state alone.
 *     fail=   the call does nothing and returns its failure value (NULL, 0, no names made, nothing
 *             written; alcCloseDevice still retires the device), and <code> becomes the pending
 *             error; alcGetError / alGetError return <code> and leave the pending error alone.
 *     error=  the call works normally, then <code> becomes the pending error.
 *     disconnect=  before the call acts, every open device becomes disconnected.
 *   The code goes to the current context for AL calls; for ALC calls to the device argument, or
 *   the device of a context argument live when the call began, if that device is still open, else
 *   to the null device. The calls' own ALC errors go the same way.
 *
 *   The library is linked with -z nodelete: loaded once per process, its state survives dlclose.
 *   FAKE_OPENAL_CONFIG is applied when it is loaded; a bad entry is printed to stderr and aborts.
 *   FAKE_OPENAL_LOG=<path> appends each record line to that file as it is made (one write per
 *   line, O_APPEND), so the record survives exit and _exit.
 */
#ifndef HANOI_TESTS_FAKE_OPENAL_H
#define HANOI_TESTS_FAKE_OPENAL_H

#include <stddef.h>

#define FAKE_OPENAL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Back to defaults: configuration, record, objects, errors, current contexts (of every thread). */
FAKE_OPENAL_API void fake_openal_reset(void);

/* Applies the entries on top of the current configuration: 0 if all are valid, else -1 and
 * nothing is changed. */
FAKE_OPENAL_API int fake_openal_configure(const char* text);

/* Number of record lines, and one line (NULL past the end), valid until the next reset. */
FAKE_OPENAL_API size_t fake_openal_call_count(void);
FAKE_OPENAL_API const char* fake_openal_call(size_t index);

/* Objects created and not yet closed, destroyed or deleted, over all contexts. */
FAKE_OPENAL_API size_t fake_openal_live_devices(void);
FAKE_OPENAL_API size_t fake_openal_live_contexts(void);
FAKE_OPENAL_API size_t fake_openal_live_sources(void);
FAKE_OPENAL_API size_t fake_openal_live_buffers(void);

#ifdef __cplusplus
}
#endif

#endif
