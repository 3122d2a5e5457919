// EVLINK4: search, open by number, load, and vendor requests by handle.
#include "drivers.h"
#include "evlink4.h"

#define EVLINK_API extern "C" __attribute__((visibility("default")))

EVLINK_API int16_t Search_For_Boards(uint16_t vendor_id, uint16_t product_id, int32_t* board_count,
                                     uint8_t* board_list)
{
    return evlink::ProcessFront().Search(vendor_id, product_id, board_count, board_list);
}

EVLINK_API int16_t Connect(uint16_t vendor_id, uint16_t product_id, uint8_t board, int32_t* handle)
{
    return evlink::ProcessFront().Connect(vendor_id, product_id, board, handle);
}

EVLINK_API int16_t Download_Firmware(int32_t handle, const uint8_t* path)
{
    return evlink::ProcessFront().Download(handle, path);
}

EVLINK_API int16_t Board_Identity(int32_t handle, uint8_t* text, int32_t size)
{
    return evlink::ProcessFront().Identity(handle, text, size);
}

EVLINK_API int16_t Vendor_Request(int32_t handle, uint8_t request, int32_t value, int32_t index, uint8_t direction,
                                  uint16_t length, uint8_t* buffer)
{
    return evlink::ProcessFront().Request(handle, request, value, index, direction, length, buffer);
}
