#pragma once
// The simulated board's four analogue outputs, published to a small shared
// file (EVLINK_SIM item probe=PATH) where a simulated bench meter, another
// process, measures them: the outputs as the DAC drives them, not as the
// on-board ADC converts them.
//
// The file is 48 bytes: "QVPROBE1", a 64-bit sequence number (odd while the
// board writes), the four outputs A to D as 64-bit doubles, all in the
// machine's byte order. Readers retry while the sequence is odd or changes.
#include <array>
#include <cstdint>
#include <string>

namespace evlink::sim {

constexpr size_t kProbeBytes = 48;

class ProbeWriter {
public:
    // Creates the file, or takes one that is empty or already a probe file;
    // anything else is left alone, with `why`, and ok() is false.
    ProbeWriter(const std::string& path, std::string& why);
    // The outputs fall to 0 V: the board is gone.
    ~ProbeWriter();
    ProbeWriter(const ProbeWriter&) = delete;
    ProbeWriter& operator=(const ProbeWriter&) = delete;

    bool ok() const { return map_ != nullptr; }
    void Publish(const std::array<double, 4>& volts);

private:
    unsigned char* map_ = nullptr;
};

class ProbeReader {
public:
    explicit ProbeReader(std::string path) : path_(std::move(path)) {}
    ~ProbeReader();
    ProbeReader(const ProbeReader&) = delete;
    ProbeReader& operator=(const ProbeReader&) = delete;

    // The outputs as last published; false (and 0 V) while there is no
    // probe file at the path, or it is not one.
    bool Read(std::array<double, 4>& volts);

private:
    bool Map();
    std::string path_;
    const unsigned char* map_ = nullptr;
};

}  // namespace evlink::sim
