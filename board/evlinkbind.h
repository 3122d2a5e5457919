#pragma once
// Adapters for the two generations of the board interface library. Each
// operation binds the library at its first call (see DynLib).
#include <cstdint>
#include <string>

namespace Evlink4 {
int16_t Search_For_Boards(uint16_t vendorId, uint16_t productId, int32_t& count, uint8_t& firstOfList);
int16_t Connect(uint16_t vendorId, uint16_t productId, uint8_t board, int32_t& handle);
int16_t Download_Firmware(int32_t handle, uint8_t& firstOfPath);
int16_t Vendor_Request(int32_t handle, uint8_t request, int32_t value, int32_t index, uint8_t direction,
                       uint16_t length, uint8_t& firstOfBuffer);
// The opened board's identity text; empty when the library cannot tell
// (an interface library without the operation, or no board open).
std::string Board_Identity(int32_t handle);
// The absolute path the library is bound by; tests may point it elsewhere
// (this also forgets an earlier binding).
const std::string& LibraryPath();
void SetLibraryPath(std::string path);
}  // namespace Evlink4

namespace Evlink1 {
int16_t LoadFirmWare(uint8_t& firstOfPath);
int16_t VendorIORequest(int16_t request, int32_t value, int32_t index, int16_t direction, int16_t length,
                        uint8_t& firstOfBuffer);
// As Evlink4::Board_Identity, for the board LoadFirmWare opened.
std::string BoardIdentity();
// The bare name found by the library search.
const std::string& LibraryName();
void SetLibraryName(std::string name);
}  // namespace Evlink1
