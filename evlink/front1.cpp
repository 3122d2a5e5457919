// EVLINK1: one call finds the first board and loads it; requests go to it.
#include "drivers.h"
#include "evlink1.h"

#define EVLINK_API extern "C" __attribute__((visibility("default")))

EVLINK_API int16_t LoadFirmWare(const uint8_t* path) { return evlink::ProcessFront().LoadFirmware(path); }

EVLINK_API int16_t BoardIdentity(uint8_t* text, int32_t size)
{
    return evlink::ProcessFront().IdentityFirst(text, size);
}

EVLINK_API int16_t VendorIORequest(int16_t request, int32_t value, int32_t index, int16_t direction, int16_t length,
                                   uint8_t* buffer)
{
    return evlink::ProcessFront().RequestFirst(request, value, index, direction, length, buffer);
}
