#include "simboard.h"

#include "hexfile.h"

#include <cstdio>

namespace evlink::sim {
namespace {

const char* const kNoDevice = "NO_DEVICE";
const char* const kNoFirmware = "NO_FIRMWARE";
const char* const kStall = "STALL";

uint8_t Reverse(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (b >> i & 1)
            r = static_cast<uint8_t>(r | 1u << (7 - i));
    return r;
}

Status Fail(const char* name) { return Status{-1, name}; }

class SimBoard final : public Board {
public:
    explicit SimBoard(BoardState& state) : state_(state) {}

    std::string identity() const override
    {
        return "SIMULATED," + (state_.optionsText.empty() ? std::string("none") : state_.optionsText);
    }

    bool loadFirmware(const std::string& path, std::string& why) override
    {
        if (state_.Unplugged()) {
            why = "the board does not answer";
            return false;
        }
        const HexImage image = ReadHexFile(path);
        if (!image.ok) {
            why = image.error;
            return false;
        }
        if (image.records.empty()) {
            why = "the file holds no data";
            return false;
        }
        state_.firmwareRunning = true;
        return true;
    }

    Status vendorRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t direction, uint16_t length,
                         uint8_t* buffer) override
    {
        if (state_.Unplugged())
            return Fail(kNoDevice);
        ++state_.requests;
        if (!state_.pacer.Active()) {
            const Status status = Answer(request, value, index, direction, length, buffer);
            state_.PublishOutputs();
            return status;
        }
        const auto deadline = state_.pacer.Deadline(Clock::now());
        const Status status = Answer(request, value, index, direction, length, buffer);
        state_.PublishOutputs();
        state_.pacer.Finish(deadline);
        return status;
    }

private:
    Status Answer(uint8_t request, uint16_t value, uint16_t index, uint8_t direction, uint16_t length,
                  uint8_t* buffer)
    {
        if (!state_.firmwareRunning)
            return Fail(kNoFirmware);
        Device& device = state_.device;
        const bool in = direction == 1;
        switch (request) {
        case kFrame:
        case kFrameAndLdacPulse: {
            if (in && (length != 3 || buffer == nullptr))
                return Fail(kStall);
            // The value's low byte goes out first, then the index.
            const uint32_t out = device.Frame(static_cast<uint32_t>(value & 0xFF) << 16 | index);
            if (request == kFrameAndLdacPulse)
                device.PulseLdac();
            if (in) {
                buffer[0] = Reverse(static_cast<uint8_t>(out >> 16));
                buffer[1] = Reverse(static_cast<uint8_t>(out >> 8));
                buffer[2] = Reverse(static_cast<uint8_t>(out));
            }
            return {};
        }
        case kPinWord:
            if (in)
                return Fail(kStall);
            device.SetPins(static_cast<uint8_t>(value));
            return {};
        case kAdcTransfer: {
            if (!in || length != 2 || buffer == nullptr)
                return Fail(kStall);
            const uint16_t word = device.AdcTransfer(value);
            buffer[0] = Reverse(static_cast<uint8_t>(word >> 8));
            buffer[1] = Reverse(static_cast<uint8_t>(word));
            return {};
        }
        default:
            return Fail(kStall);
        }
    }

    BoardState& state_;
};

DeviceConfig ConfigOf(const Options& o)
{
    return DeviceConfig{o.resolution, o.alarmBits, o.faultyChannels,
                        StaticErrors{o.offsetMv, o.gainPpm, o.inlLsb, o.dnlLsb, o.noiseMv}};
}

}  // namespace

BoardState::BoardState(const Options& o)
    : device(ConfigOf(o)),
      optionsText(o.text),
      unplugAfter(o.unplugAfter),
      pacer(std::chrono::microseconds(o.latencyUs))
{
    if (o.probePath.empty())
        return;
    std::string why;
    probe = std::make_unique<ProbeWriter>(o.probePath, why);
    if (!probe->ok()) {
        std::fprintf(stderr, "EVLINK_SIM: probe=%s: %s; the outputs are not published\n", o.probePath.c_str(), why.c_str());
        probe.reset();
    }
}

void BoardState::PublishOutputs()
{
    if (probe)
        probe->Publish({device.OutputVolts(0), device.OutputVolts(1), device.OutputVolts(2), device.OutputVolts(3)});
}

SimDriver::SimDriver(const Options& options) : state_(options) {}

int SimDriver::scan() { return state_.Unplugged() ? 0 : 1; }

std::unique_ptr<Board> SimDriver::open(int n, std::string& why)
{
    if (n != 0 || state_.Unplugged()) {
        why = "no such simulated board";
        return nullptr;
    }
    return std::make_unique<SimBoard>(state_);
}

SimDriver& ProcessSimDriver()
{
    static SimDriver driver(EnvironmentOptions());
    return driver;
}

}  // namespace evlink::sim
