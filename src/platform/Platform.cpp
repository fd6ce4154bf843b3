#include "platform/Platform.h"

#include "console/Failure.h"
#include "platform/Fpu.h"

#if defined(_WIN32)
#include "platform/win32/Platform.inc"
#else
#include "platform/posix/Platform.inc"
#endif

namespace morvit::platform {

namespace {
const Services kRealServices = {
    RealQueryCounter,        RealQueryFrequency,       RealAllocatePages,
    RealFreePages,           RealOpenStandardOutput,   RealWriteStandardOutput,
};
Services currentServices = kRealServices;
}  // namespace

Services& CurrentServices() { return currentServices; }
const Services& RealServices() { return kRealServices; }
void Restore() { currentServices = kRealServices; }

}  // namespace morvit::platform
