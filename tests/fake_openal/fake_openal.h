/*
 * Fake OpenAL 1.1 library for tests: libopenal.so with every core AL and ALC entry point, a small
 * believable behaviour behind them, a record of every call and injectable failures. The program
 * loads it with dlopen exactly as it loads the real library (found through LD_LIBRARY_PATH, or by
 * absolute path in-process); tests steer it through the control functions declared below, which
 * they resolve with dlsym on the same handle (see fake_control.hpp).
 *
 * BEHAVIOUR
 *   Devices and contexts are heap objects numbered in creation order (dev1, dev2, ... and ctx1,
 *   ctx2, ...). alcOpenDevice accepts NULL or "" (the default device), a name from the configured
 *   `devices` or `all_devices` list, or a configured default name; any other name fails with
 *   ALC_INVALID_VALUE (0xA004) pending on the null device. Closing a device or destroying a
 *   context retires the object, but its memory is kept until fake_openal_reset so that a stale
 *   handle is still recognised (ALC_INVALID_DEVICE / ALC_INVALID_CONTEXT) and named in the record.
 *   Closing a device does not destroy its contexts, and destroying a context does not delete its
 *   sources and buffers: the live_* counters below count what the caller never released.
 *
 *   alcGetIntegerv answers ALC_MAJOR_VERSION / ALC_MINOR_VERSION (null_version or
 *   device_version), ALC_EFX_MAJOR_VERSION / ALC_EFX_MINOR_VERSION (1.0) and, for an opened
 *   device only, ALC_MAX_AUXILIARY_SENDS, ALC_FREQUENCY and the other context attributes; a
 *   device-only query on the null device sets ALC_INVALID_DEVICE and writes nothing.
 *   alcGetProcAddress hands out only the extension functions alcSetThreadContext,
 *   alcGetThreadContext, alcLoopbackOpenDeviceSOFT, alcIsRenderFormatSupportedSOFT and
 *   alcRenderSamplesSOFT (never exported by name); alGetProcAddress hands out nothing.
 *
 *   Error state: one ALC error per device plus one for the null device (a new error replaces the
 *   pending one), one AL error per context (the first error stays until read). alcGetError and
 *   alGetError return the pending code and clear it. alcGetError on an unknown device returns
 *   ALC_INVALID_DEVICE; alGetError with no current context returns AL_INVALID_OPERATION.
 *
 *   Current context: alcMakeContextCurrent sets the process-wide context and clears the calling
 *   thread's own context; alcSetThreadContext (only through alcGetProcAddress) sets the calling
 *   thread's context, which wins over the process-wide one. AL calls act on that context; without
 *   one they do nothing. A destroyed context stops being current.
 *
 *   Sources and buffers are kept per context; their names come from one counter (1, 2, 3, ...)
 *   shared by both kinds and all contexts, so a source name passed where a buffer is expected,
 *   or a name used in the wrong context, is caught.
 *   alSourcei(AL_BUFFER) attaches (0 detaches); a buffer attached to a source cannot be deleted
 *   or refilled (AL_INVALID_OPERATION). alSourcePlay marks the source playing; each
 *   alGetSourcei(AL_SOURCE_STATE) query then reports AL_PLAYING while the source has polls left
 *   (`playing_polls`) and AL_STOPPED after that, so a wait-until-stopped loop ends. alBufferData
 *   accepts AL_FORMAT_{MONO,STEREO}{8,16} and AL_FORMAT_{MONO,STEREO}_FLOAT32, checks size and
 *   frequency like OpenAL Soft, and stores format, size, frequency and the 64-bit FNV-1a hash of
 *   the bytes; alGetBufferi answers AL_FREQUENCY, AL_BITS, AL_CHANNELS and AL_SIZE. The listener
 *   keeps AL_POSITION, AL_VELOCITY, AL_ORIENTATION and AL_GAIN (non-finite values are rejected
 *   with AL_INVALID_VALUE). Other AL calls are accepted, recorded and answer zeros.
 *
 * CALL RECORD
 *   Every entry point call appends one line, in call order, including failing calls and the
 *   extension functions handed out by alcGetProcAddress:
 *       name(arg, arg, ...)              for a void function without output
 *       name(arg, ...) = result          for a function returning a value
 *       name(arg, ...) = [v, ...]        for output written through pointers ([] if none written)
 *   Arguments appear in declaration order with output pointers left out. Formats:
 *       integers, counts, sizes, names   decimal: 44100, 3
 *       enum / parameter / format /      0x and upper-case hex digits: 0x1005, 0xA003, 0x20003
 *         error codes (ALenum, ALCenum)  (also an ALenum or ALCenum result: 0x0 for no error)
 *       booleans                         0 or 1
 *       floats                           shortest round-trip form: 1, 0.5, -1, 1e+30
 *       strings                          "..." with bytes outside 0x20..0x7E, and " and \, as
 *                                        \xNN (upper-case): "Fake Device", "A\x00B\x00\x00"
 *       device / context handles         dev1, ctx2; null; dev? / ctx? for a pointer never issued
 *       function pointer results         &alcSetThreadContext, or null
 *       arrays                           [1,0,-1] with no spaces; a null array pointer is null
 *   Particular forms:
 *       alcGetString results             device lists (ALC_DEVICE_SPECIFIER, ALC_ALL_DEVICES_
 *                                        SPECIFIER on the null device) print the configured bytes
 *                                        exactly; other strings up to their terminating NUL
 *       alcCreateContext attributes      [0x1007,44100,0] (keys hex, values decimal, through the
 *                                        terminating 0), or null
 *       alGenSources / alGenBuffers      alGenSources(1, [3])     count and names generated
 *                                        ([] when none were generated)
 *       alDeleteSources / alDeleteBuffers / alSource{Play,Stop,Rewind,Pause}v
 *                                        alDeleteSources(1, [3])  count and names passed in
 *       alSourceQueueBuffers             alSourceQueueBuffers(1, 2, [3,4])
 *       alBufferData                     alBufferData(2, 0x1101, size=8820, freq=44100,
 *                                        fnv=85944171f73967e8) with fnv as 16 lower-case hex
 *                                        digits of the data's FNV-1a 64 hash, data=null for NULL
 *       float / int vector setters       alListenerfv(0x100F, [0,0,-1,0,1,0]); the vector length
 *                                        follows the parameter (6 for AL_ORIENTATION, 3 for
 *                                        position, velocity and direction, else 1)
 *       alcGetIntegerv                   alcGetIntegerv(null, 0x1000, 1) = [1]; = [] if untouched
 *
 * CONFIGURATION
 *   Text of key=value entries separated by newlines or ';'. Leading blanks of an entry are
 *   ignored, empty entries skipped. Byte values (`devices` and the other device names, the @arg of
 *   a rule) are taken exactly and may use the escapes \0, \xNN, \\ and \; (a literal ';'); the
 *   word null stands for a NULL string (write \x6Eull for the text "null"). Keys, with defaults:
 *       devices=<bytes>|null               "Fake Device\0\0"   ALC_DEVICE_SPECIFIER list
 *       all_devices=<bytes>|null           "Fake Device\0\0"   ALC_ALL_DEVICES_SPECIFIER list
 *       default_device=<bytes>|null        "Fake Device"       ALC_DEFAULT_DEVICE_SPECIFIER
 *       default_all_device=<bytes>|null    "Fake Device"       ALC_DEFAULT_ALL_DEVICES_SPECIFIER
 *       null_version=M.m|untouched         1.1   ALC_MAJOR/MINOR_VERSION on the null device
 *       device_version=M.m|untouched       1.1   ALC_MAJOR/MINOR_VERSION on an opened device
 *       null_extensions=<names>            ALC_ENUMERATE_ALL_EXT ALC_SOFT_loopback
 *                                          ALC_EXT_thread_local_context
 *       device_extensions=<names>          ALC_ENUMERATE_ALL_EXT ALC_EXT_EFX ALC_SOFT_loopback
 *                                          ALC_EXT_thread_local_context
 *       max_aux_sends=<int>                2     ALC_MAX_AUXILIARY_SENDS of an opened device
 *       playing_polls=<int >= 0>           1     AL_SOURCE_STATE queries answering AL_PLAYING
 *                                                after each alSourcePlay
 *       fail=<function>[@<arg>]:<N>:<code>[:always]
 *       error=<function>[@<arg>]:<N>:<code>[:always]
 *   A rule counts the calls to <function> (any entry point or extension function name) made
 *   after the rule was configured; with @<arg> only calls whose string argument has exactly those
 *   bytes (a NULL string never matches) or, for functions taking an enum parameter (alcGetString,
 *   alcGetIntegerv, alGetString, alListener*, alSource*, alBuffer* and their getters), whose
 *   parameter equals the number <arg>. The N-th counted call (from N on with :always) is hit.
 *   <code> is decimal or 0x hex; 0 leaves the error state alone.
 *     fail=   the call does nothing and returns its failure value (NULL, 0, ALC_FALSE; no names
 *             generated, nothing stored or written; alcCloseDevice still retires the device;
 *             alcGetError / alGetError return <code> and leave the pending error in place), and
 *             <code> becomes the pending error.
 *     error=  the call works normally, then <code> becomes the pending error.
 *   The code goes to the error state the call belongs to: for ALC calls the device argument's, or
 *   for a context argument its device's, falling back to the null device's (alcOpenDevice,
 *   alcCloseDevice, unknown handles); for AL calls the current context's.
 *
 *   The library is linked with -z nodelete: it is loaded once per process and its state survives
 *   dlclose. FAKE_OPENAL_CONFIG is applied when the library is loaded; a bad entry prints a message to
 *   stderr and aborts. FAKE_OPENAL_LOG=<path> appends every record line to that file as it is
 *   made (one write per line, O_APPEND), so the record survives exit and _exit.
 */
#ifndef HANOI_TESTS_FAKE_OPENAL_H
#define HANOI_TESTS_FAKE_OPENAL_H

#include <stddef.h>

#define FAKE_OPENAL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Back to defaults: configuration, record, devices, contexts, sources, buffers, errors, current
 * contexts (of every thread) and counters. FAKE_OPENAL_CONFIG is not applied again. */
FAKE_OPENAL_API void fake_openal_reset(void);

/* Applies the entries on top of the current configuration: 0 if all are valid, else -1 and
 * nothing is changed. */
FAKE_OPENAL_API int fake_openal_configure(const char* text);

/* Number of record lines, and one line (NULL past the end); a line stays valid until the next
 * reset. */
FAKE_OPENAL_API size_t fake_openal_call_count(void);
FAKE_OPENAL_API const char* fake_openal_call(size_t index);

/* Objects created and not yet released by the matching call (alcCloseDevice, alcDestroyContext,
 * alDeleteSources, alDeleteBuffers), over all contexts. */
FAKE_OPENAL_API size_t fake_openal_live_devices(void);
FAKE_OPENAL_API size_t fake_openal_live_contexts(void);
FAKE_OPENAL_API size_t fake_openal_live_sources(void);
FAKE_OPENAL_API size_t fake_openal_live_buffers(void);

#ifdef __cplusplus
}
#endif

#endif
