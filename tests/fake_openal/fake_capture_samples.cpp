// alcCaptureSamples on its own: the library is also built without it, standing for an OpenAL that
// lacks one core entry point.
#include "fake_state.hpp"

extern "C" {
FAKE_STUB(void, alcCaptureSamples, (ALCdevice*, ALCvoid*, ALCsizei))
}
