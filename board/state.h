#pragma once
// The program-wide state record: the header fields of the frame in progress,
// the control pins, the sweep's arrays and what the board operations last
// learned of the board.
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// What the analysis of a sweep needs to know of it, recorded when it starts.
struct SweepConditions {
    std::array<int, 4> ranges{-1, -1, -1, -1};  // range codes; -1: not known
    bool twosComplement = false;                // the BIN/2sCOMP pin was low
    int resolution = 16;                        // the resolution chosen at the start
    int32_t steps = 0;                          // steps made so far
    std::chrono::system_clock::time_point started{};   // when it started
    std::chrono::system_clock::time_point lastStep{};  // when it made its last step
};

struct ProgramState {
    int16_t ResolutionBits = 0;
    int16_t PinB7 = 0;
    int16_t PinB6 = 0;
    int16_t PinB5 = 0;
    int16_t LdacPin = 0;
    int16_t ClrPin = 0;
    int16_t BinPin = 0;
    int16_t PinB0 = 0;
    int32_t DataWord = 0;
    int32_t AdcCommand = 0;
    int32_t ControlData = 0;
    int32_t PowerData = 0;
    int16_t ChannelAddress = 0;
    int16_t RegisterSelect = 0;
    int16_t ReadFlag = 0;
    std::string Coding;
    int32_t RegisterData = 0;
    int16_t RangeCode = 0;
    std::vector<float> SweepVoltsA;
    std::vector<float> SweepVoltsB;
    std::vector<float> SweepVoltsC;
    std::vector<float> SweepVoltsD;
    int32_t SampleCount = 0;
    int32_t BoardHandle = 0;
    std::array<uint8_t, 513> FirmwarePathBytes{};
    std::string FirmwarePath;
    std::array<uint8_t, 4> ReadBuffer{};

    // What the board operations last wrote to or read from each channel's
    // range register (a range code 0..5), -1 while unknown.
    std::array<int, 4> KnownRange{-1, -1, -1, -1};
    // The conditions of the last sweep, taken when it started, and how far it got.
    SweepConditions Sweep;
};

// The one record of the run.
extern ProgramState State;

// Zero-fills the record, as at process start (tests use it between cases).
void ClearProgramState();
// Counts the changes of the sweep's readings and record (a sweep started, a
// step made, the record cleared): what is worked out from them stands while
// the count stands.
uint64_t SweepGeneration();
void SweepChanged();
// The start values that ProgramStart gives the record: the board's (below)
// and the panel's coding "Hex".
void SetStartValues();
// The board's start values: pins, frame header, 16 bits. The remote-control
// reset sets the same.
void SetBoardStartValues();

