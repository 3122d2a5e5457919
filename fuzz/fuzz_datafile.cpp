// libFuzzer target: the sweep data file's reader, and what the analysis makes
// of a file it takes (figures, notes, JSON and CSV), for every range.
#include "analysis/datafile.h"
#include "analysis/figures.h"
#include "analysis/report.h"

#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    analysis::SweepData sweep;
    analysis::ReadError error;
    if (!analysis::ReadSweepText(text, sweep, error)) {
        (void)error.Text();
        return 0;
    }
    std::vector<analysis::ChannelAnalysis> results;
    for (int ch = 0; ch < analysis::kChannels; ++ch) {
        analysis::Conditions c;
        c.range = static_cast<int>((size + static_cast<size_t>(ch)) % analysis::Ranges().size());
        c.coding = size % 2 == 0 ? analysis::Coding::Binary : analysis::Coding::TwosComplement;
        c.resolution = 16 - 2 * static_cast<int>(size / 2 % 3);
        results.push_back(analysis::Analyse(sweep.volts[static_cast<size_t>(ch)], c));
        (void)analysis::Notes(ch, results.back());
    }
    (void)analysis::FiguresJson(results);
    (void)analysis::FiguresCsv(results);
    return 0;
}
