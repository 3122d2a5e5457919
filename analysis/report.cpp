#include "report.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace analysis {
namespace {

struct Field {
    const char* name;
    double Figures::*value;
};

// The figures in the order the JSON and the CSV give them.
const Field kFields[] = {
    {"lsb_mv", &Figures::lsbMv},
    {"measurement_step_lsb", &Figures::measurementStepLsb},
    {"offset_error_lsb", &Figures::offsetErrorLsb},
    {"offset_error_mv", &Figures::offsetErrorMv},
    {"gain_error_percent", &Figures::gainErrorPercent},
    {"inl_endpoint_max_lsb", &Figures::inlEndpointMaxLsb},
    {"inl_bestfit_max_lsb", &Figures::inlBestfitMaxLsb},
    {"dnl_min_lsb", &Figures::dnlMinLsb},
    {"dnl_max_lsb", &Figures::dnlMaxLsb},
};

std::string oneDecimal(double v)
{
    char out[32];
    const auto end = std::to_chars(out, out + sizeof out, v, std::chars_format::fixed, 1).ptr;
    return std::string(out, end);
}

}  // namespace

char ChannelLetter(int channel) { return static_cast<char>('A' + channel); }

std::string Number(double v, const char* none)
{
    if (!std::isfinite(v))
        return none;
    if (v == 0)
        v = 0;  // no "-0"
    char out[40];
    const auto end = std::to_chars(out, out + sizeof out, v, std::chars_format::general, 12).ptr;
    return std::string(out, end);
}

std::string ChannelJson(int channel, const ChannelAnalysis& a)
{
    const Conditions& c = a.conditions;
    std::string out = "{\"channel\": \"";
    out += ChannelLetter(channel);
    out += "\", \"range\": \"" + std::string(c.span().name) + "\", \"coding\": \"" + std::string(CodingName(c.coding)) +
           "\", \"resolution\": " + std::to_string(c.resolution) + ", \"codes\": " + std::to_string(a.figures.codes);
    for (const Field& f : kFields)
        out += ", \"" + std::string(f.name) + "\": " + Number(a.figures.*f.value);
    out += ", \"decreasing_steps\": " + std::to_string(a.figures.decreasingSteps) + "}";
    return out;
}

std::string FiguresJson(std::span<const ChannelAnalysis> channels)
{
    std::string out = "{\"channels\": [";
    for (size_t i = 0; i < channels.size(); ++i)
        out += (i == 0 ? "\n  " : ",\n  ") + ChannelJson(static_cast<int>(i), channels[i]);
    return out + "\n]}\n";
}

std::string FiguresCsv(std::span<const ChannelAnalysis> channels)
{
    std::string out = "channel,range,coding,resolution,codes";
    for (const Field& f : kFields)
        out += std::string(",") + f.name;
    out += ",decreasing_steps\r\n";
    for (size_t i = 0; i < channels.size(); ++i) {
        const ChannelAnalysis& a = channels[i];
        out += ChannelLetter(static_cast<int>(i));
        out += "," + std::string(a.conditions.span().name) + "," + std::string(CodingName(a.conditions.coding)) + "," +
               std::to_string(a.conditions.resolution) + "," + std::to_string(a.figures.codes);
        for (const Field& f : kFields)
            out += "," + Number(a.figures.*f.value, "");
        out += "," + std::to_string(a.figures.decreasingSteps) + "\r\n";
    }
    return out;
}

std::vector<std::string> Notes(int channel, const ChannelAnalysis& a)
{
    std::vector<std::string> notes;
    const std::string who = std::string("Channel ") + ChannelLetter(channel) + ": ";
    const Figures& f = a.figures;
    if (f.codes < 2) {
        notes.push_back(who + (f.codes == 0 ? "no codes were measured" : "only one code was measured") +
                        ", so there is no transfer to judge.");
        return notes;
    }
    if (std::isnan(f.inlEndpointMaxLsb)) {
        notes.push_back(who + "the output is the same at the first and the last code (powered down or not "
                              "connected?), so INL and DNL cannot be given.");
        return notes;
    }
    // Readings well outside the span: most likely another range was chosen.
    double lo = a.volts[0];
    double hi = lo;
    for (const double v : a.volts)
        if (!std::isnan(v)) {
            lo = std::isnan(lo) ? v : std::min(lo, v);
            hi = std::isnan(hi) ? v : std::max(hi, v);
        }
    const Range& span = a.conditions.span();
    const double slack = 2 * kAdcStepVolts + 0.01 * (span.hi - span.lo);
    if (lo < span.lo - slack || hi > span.hi + slack)
        notes.push_back(who + "the readings run from " + oneDecimal(lo) + " V to " + oneDecimal(hi) +
                        " V, beyond the " + std::string(span.name) +
                        " range: choose the range the channel was set to when it was swept.");
    // Readings at the ends of the ADC's scale, beyond the few codes of its
    // last step that an ideal +-10 V output reaches.
    const double adcTop = 8191 * kAdcStepVolts - 10;
    const auto clipped = std::count_if(a.volts.begin(), a.volts.end(), [&](double v) {
        return v <= -10 + kAdcStepVolts / 4 || v >= adcTop - kAdcStepVolts / 4;
    });
    if (static_cast<double>(clipped) > 2 * std::max(1.0, f.measurementStepLsb))
        notes.push_back(who + std::to_string(clipped) +
                        " codes read at the end of the ADC's scale (-10 V or +9.9976 V): the output goes beyond what "
                        "the board can measure, so offset, gain error and INL are distorted.");
    if (f.measurementStepLsb > 1)
        notes.push_back(who + "the board's ADC measures in steps of " + oneDecimal(f.measurementStepLsb) +
                        " LSB on this range at " + std::to_string(a.conditions.resolution) +
                        " bits, coarser than one code. Per-code DNL and INL mostly show the ADC's steps, "
                        "not the DAC's; trust them only to within that step.");
    return notes;
}

}  // namespace analysis
