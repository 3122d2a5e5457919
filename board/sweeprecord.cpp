#include "sweeprecord.h"

#include "boardlink.h"
#include "identity.h"
#include "state.h"
#include "runtime/savefile.h"

#include <algorithm>
#include <sys/stat.h>

namespace sweeprecord {
namespace {
const std::array<const std::vector<float>*, 4> kArrays{&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC,
                                                       &State.SweepVoltsD};

size_t shortest(size_t count)
{
    for (const auto* volts : kArrays)
        count = std::min(count, volts->size());
    return count;
}

std::array<std::optional<int>, analysis::kChannels> recordedRanges()
{
    std::array<std::optional<int>, analysis::kChannels> ranges;
    for (size_t ch = 0; ch < ranges.size(); ++ch) {
        const int code = State.Sweep.ranges[ch];
        if (code >= 0 && code < static_cast<int>(analysis::Ranges().size()))
            ranges[ch] = code;
    }
    return ranges;
}

analysis::Coding recordedCoding()
{
    return State.Sweep.twosComplement ? analysis::Coding::TwosComplement : analysis::Coding::Binary;
}
}  // namespace

analysis::SweepData Readings()
{
    analysis::SweepData data;
    const size_t steps = shortest(static_cast<size_t>(std::max(State.Sweep.steps, 0)));
    for (size_t ch = 0; ch < kArrays.size(); ++ch)
        data.volts[ch].assign(kArrays[ch]->begin(), kArrays[ch]->begin() + static_cast<ptrdiff_t>(steps));
    data.lines = steps;
    return data;
}

analysis::RecordedSweep Recorded()
{
    analysis::RecordedSweep r;
    r.ranges = recordedRanges();
    r.coding = recordedCoding();
    if (analysis::ValidResolution(State.Sweep.resolution)) {
        r.resolution = State.Sweep.resolution;
        r.part = analysis::PartName(State.Sweep.resolution);
    }
    r.steps = static_cast<size_t>(std::clamp(State.Sweep.steps, 0, analysis::kSweepSteps));
    if (State.Sweep.started != std::chrono::system_clock::time_point{})
        r.started = analysis::UtcText(State.Sweep.started);
    if (State.Sweep.steps > 0)
        r.ended = analysis::UtcText(State.Sweep.lastStep);
    // The board in use now: the one the sweep ran on, as the program keeps one board.
    const BoardIdentity board = CurrentBoardIdentity();
    const std::string simulated = "SIMULATED,";
    if (board.simulated)
        r.board = analysis::BoardIdentity{true, board.text.rfind(simulated, 0) == 0 ? board.text.substr(simulated.size())
                                                                                    : board.text};
    else if (!board.text.empty())
        r.board = analysis::BoardIdentity{false, board.text};
    const Edition& e = CurrentEdition();
    r.program = std::string(e.title) + " " + std::to_string(e.major) + "." + std::to_string(e.minor) + "." +
                std::to_string(e.revision);
    return r;
}

analysis::Chosen ChosenConditions(analysis::SweepData& data)
{
    const analysis::RecordedSweep r = Recorded();
    return analysis::ChooseConditions(data, &r, "the sweep", {});
}

bool SaveDataFile(const std::string& path, std::string& why, std::string* companionWhy, bool withCompanion)
{
    const size_t count = shortest(static_cast<size_t>(std::max(State.SampleCount, 0)));
    analysis::SweepSamples samples;
    for (size_t ch = 0; ch < kArrays.size(); ++ch)
        samples[ch] = std::span<const float>(kArrays[ch]->data(), count);
    const std::string text = analysis::DataFileText(samples);
    if (!ReplaceFileContents(path, text, why))
        return false;
    // A device or a pipe gets no companion.
    struct stat st {};
    if (!withCompanion || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return true;
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string companion;
    if (!ReplaceFileContents(analysis::CompanionPath(path), analysis::CompanionText(Recorded(), name, text), companion) &&
        companionWhy != nullptr)
        *companionWhy = companion;
    return true;
}

}  // namespace sweeprecord
