#pragma once

// Every OpenAL 1.1 core function, as X-macro lists of (pointer type, name): the program's
// entry-point table is made from them, and the fake OpenAL library of the tests takes its names
// from them too, so the two cannot disagree.
//
// Table order matters: lookups stop at the first missing name, which is the one reported. Do not
// reorder. Each entry is the pointer type the OpenAL 1.1 headers give for that name.
#define AUDIO_ALC_ENTRY_POINTS(X)                   \
  X(LPALCCREATECONTEXT, alcCreateContext)           \
  X(LPALCMAKECONTEXTCURRENT, alcMakeContextCurrent) \
  X(LPALCPROCESSCONTEXT, alcProcessContext)         \
  X(LPALCSUSPENDCONTEXT, alcSuspendContext)         \
  X(LPALCDESTROYCONTEXT, alcDestroyContext)         \
  X(LPALCGETCURRENTCONTEXT, alcGetCurrentContext)   \
  X(LPALCGETCONTEXTSDEVICE, alcGetContextsDevice)   \
  X(LPALCOPENDEVICE, alcOpenDevice)                 \
  X(LPALCCLOSEDEVICE, alcCloseDevice)               \
  X(LPALCGETERROR, alcGetError)                     \
  X(LPALCISEXTENSIONPRESENT, alcIsExtensionPresent) \
  X(LPALCGETPROCADDRESS, alcGetProcAddress)         \
  X(LPALCGETENUMVALUE, alcGetEnumValue)             \
  X(LPALCGETSTRING, alcGetString)                   \
  X(LPALCGETINTEGERV, alcGetIntegerv)               \
  X(LPALCCAPTUREOPENDEVICE, alcCaptureOpenDevice)   \
  X(LPALCCAPTURECLOSEDEVICE, alcCaptureCloseDevice) \
  X(LPALCCAPTURESTART, alcCaptureStart)             \
  X(LPALCCAPTURESTOP, alcCaptureStop)               \
  X(LPALCCAPTURESAMPLES, alcCaptureSamples)

#define AUDIO_AL_ENTRY_POINTS(X)                      \
  X(LPALDOPPLERFACTOR, alDopplerFactor)               \
  X(LPALDOPPLERVELOCITY, alDopplerVelocity)           \
  X(LPALSPEEDOFSOUND, alSpeedOfSound)                 \
  X(LPALDISTANCEMODEL, alDistanceModel)               \
  X(LPALENABLE, alEnable)                             \
  X(LPALDISABLE, alDisable)                           \
  X(LPALISENABLED, alIsEnabled)                       \
  X(LPALGETSTRING, alGetString)                       \
  X(LPALGETBOOLEANV, alGetBooleanv)                   \
  X(LPALGETINTEGERV, alGetIntegerv)                   \
  X(LPALGETFLOATV, alGetFloatv)                       \
  X(LPALGETDOUBLEV, alGetDoublev)                     \
  X(LPALGETBOOLEAN, alGetBoolean)                     \
  X(LPALGETINTEGER, alGetInteger)                     \
  X(LPALGETFLOAT, alGetFloat)                         \
  X(LPALGETDOUBLE, alGetDouble)                       \
  X(LPALGETERROR, alGetError)                         \
  X(LPALISEXTENSIONPRESENT, alIsExtensionPresent)     \
  X(LPALGETPROCADDRESS, alGetProcAddress)             \
  X(LPALGETENUMVALUE, alGetEnumValue)                 \
  X(LPALLISTENERF, alListenerf)                       \
  X(LPALLISTENER3F, alListener3f)                     \
  X(LPALLISTENERFV, alListenerfv)                     \
  X(LPALLISTENERI, alListeneri)                       \
  X(LPALLISTENER3I, alListener3i)                     \
  X(LPALLISTENERIV, alListeneriv)                     \
  X(LPALGETLISTENERF, alGetListenerf)                 \
  X(LPALGETLISTENER3F, alGetListener3f)               \
  X(LPALGETLISTENERFV, alGetListenerfv)               \
  X(LPALGETLISTENERI, alGetListeneri)                 \
  X(LPALGETLISTENER3I, alGetListener3i)               \
  X(LPALGETLISTENERIV, alGetListeneriv)               \
  X(LPALGENSOURCES, alGenSources)                     \
  X(LPALDELETESOURCES, alDeleteSources)               \
  X(LPALISSOURCE, alIsSource)                         \
  X(LPALSOURCEF, alSourcef)                           \
  X(LPALSOURCE3F, alSource3f)                         \
  X(LPALSOURCEFV, alSourcefv)                         \
  X(LPALSOURCEI, alSourcei)                           \
  X(LPALSOURCE3I, alSource3i)                         \
  X(LPALSOURCEIV, alSourceiv)                         \
  X(LPALGETSOURCEF, alGetSourcef)                     \
  X(LPALGETSOURCE3F, alGetSource3f)                   \
  X(LPALGETSOURCEFV, alGetSourcefv)                   \
  X(LPALGETSOURCEI, alGetSourcei)                     \
  X(LPALGETSOURCE3I, alGetSource3i)                   \
  X(LPALGETSOURCEIV, alGetSourceiv)                   \
  X(LPALSOURCEPLAYV, alSourcePlayv)                   \
  X(LPALSOURCESTOPV, alSourceStopv)                   \
  X(LPALSOURCEREWINDV, alSourceRewindv)               \
  X(LPALSOURCEPAUSEV, alSourcePausev)                 \
  X(LPALSOURCEPLAY, alSourcePlay)                     \
  X(LPALSOURCESTOP, alSourceStop)                     \
  X(LPALSOURCEREWIND, alSourceRewind)                 \
  X(LPALSOURCEPAUSE, alSourcePause)                   \
  X(LPALSOURCEQUEUEBUFFERS, alSourceQueueBuffers)     \
  X(LPALSOURCEUNQUEUEBUFFERS, alSourceUnqueueBuffers) \
  X(LPALGENBUFFERS, alGenBuffers)                     \
  X(LPALDELETEBUFFERS, alDeleteBuffers)               \
  X(LPALISBUFFER, alIsBuffer)                         \
  X(LPALBUFFERDATA, alBufferData)                     \
  X(LPALBUFFERF, alBufferf)                           \
  X(LPALBUFFER3F, alBuffer3f)                         \
  X(LPALBUFFERFV, alBufferfv)                         \
  X(LPALBUFFERI, alBufferi)                           \
  X(LPALBUFFER3I, alBuffer3i)                         \
  X(LPALBUFFERIV, alBufferiv)                         \
  X(LPALGETBUFFERF, alGetBufferf)                     \
  X(LPALGETBUFFER3F, alGetBuffer3f)                   \
  X(LPALGETBUFFERFV, alGetBufferfv)                   \
  X(LPALGETBUFFERI, alGetBufferi)                     \
  X(LPALGETBUFFER3I, alGetBuffer3i)                   \
  X(LPALGETBUFFERIV, alGetBufferiv)
