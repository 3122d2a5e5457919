#pragma once
// Finding and starting the system information tool through the registry.
#include <cstdint>
#include <string>

// Reads value `SubKeyRef` of key `KeyName` under `KeyRoot`. A text value gives
// its text, a number its decimal digits; another type leaves KeyVal as it was.
// False, with KeyVal emptied, when the key or the value cannot be read.
bool GetKeyValue(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal);

// Starts the system information tool, detached and without a shell; when none
// is found or it does not start, says so in a message box.
void StartSysInfo();
