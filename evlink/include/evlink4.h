/* Board interface library, fourth generation: find, open, load, and carry
 * vendor requests. Every call returns a 16-bit status. */
#ifndef EVLINK4_H
#define EVLINK4_H
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Lists the attached boards: board numbers (1, 2, ...) in board_list[0..], at
 * most 128; the count in *board_count. board_list[0] is 0 when none is found. */
int16_t Search_For_Boards(uint16_t vendor_id, uint16_t product_id, int32_t* board_count,
                          uint8_t* board_list);

/* Opens board number `board`; writes its handle (0 when it cannot be opened). */
int16_t Connect(uint16_t vendor_id, uint16_t product_id, uint8_t board, int32_t* handle);

/* Loads the board's microcontroller from the Intel HEX file named by the
 * zero-terminated path. 0 = success, anything else = failure. */
int16_t Download_Firmware(int32_t handle, const uint8_t* path);

/* One vendor request. direction 0 = to the board, 1 = from the board; with
 * direction 1, `length` bytes are placed in buffer. On failure the buffer is
 * left as it was. 0 = success. */
int16_t Vendor_Request(int32_t handle, uint8_t request, int32_t value, int32_t index,
                       uint8_t direction, uint16_t length, uint8_t* buffer);

/* What the board opened with `handle` is, as zero-terminated text cut to
 * `size` bytes: "USB,<bus>-<ports>,<serial>" or "SIMULATED,<options>".
 * 0 = success, -1 = no such board. */
int16_t Board_Identity(int32_t handle, uint8_t* text, int32_t size);

#ifdef __cplusplus
}
#endif
#endif
