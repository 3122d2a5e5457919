/* Board interface library, first generation: no search and no handle; the
 * first board found is used. */
#ifndef EVLINK1_H
#define EVLINK1_H
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Finds the board and loads its firmware from the zero-terminated path.
 * 1 = success, 0 = failure. */
int16_t LoadFirmWare(const uint8_t* path);

/* One vendor request on the loaded board, as Vendor_Request. 0 = success. */
int16_t VendorIORequest(int16_t request, int32_t value, int32_t index, int16_t direction,
                        int16_t length, uint8_t* buffer);

/* What the board LoadFirmWare opened is, as for Board_Identity of EVLINK4. */
int16_t BoardIdentity(uint8_t* text, int32_t size);

#ifdef __cplusplus
}
#endif
#endif
