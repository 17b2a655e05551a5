#include "platform/openal/openal_device.h"

#include <AL/alc.h>

namespace velmora::platform {

bool OpenAlOutputPresent() {
    const ALCchar* devices = alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
    return devices && devices[0] != '\0';
}

}  // namespace velmora::platform
