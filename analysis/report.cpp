#include "report.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Field {
    const char* name;
    Figure Figures::*value;
};

// The figures in the order the JSON and the CSV give them, each followed by
// its uncertainty.
const Field kFields[] = {
    {"offset_error_lsb", &Figures::offsetErrorLsb},
    {"offset_error_mv", &Figures::offsetErrorMv},
    {"gain_error_percent", &Figures::gainErrorPercent},
    {"zero_scale_error_mv", &Figures::zeroScaleErrorMv},
    {"zero_scale_error_lsb", &Figures::zeroScaleErrorLsb},
    {"full_scale_error_mv", &Figures::fullScaleErrorMv},
    {"full_scale_error_lsb", &Figures::fullScaleErrorLsb},
    {"bipolar_zero_error_mv", &Figures::bipolarZeroErrorMv},
    {"bipolar_zero_error_lsb", &Figures::bipolarZeroErrorLsb},
    {"inl_endpoint_max_lsb", &Figures::inlEndpointMaxLsb},
    {"inl_bestfit_max_lsb", &Figures::inlBestfitMaxLsb},
    {"dnl_min_lsb", &Figures::dnlMinLsb},
    {"dnl_max_lsb", &Figures::dnlMaxLsb},
};

// The fields every channel's line begins with, as JSON or CSV.
std::string conditions(int channel, const ChannelAnalysis& a, bool json)
{
    const Conditions& c = a.conditions;
    const std::string letter(1, ChannelLetter(channel));
    if (!json)
        return letter + "," + std::string(c.span().name) + "," + std::string(CodingName(c.coding)) + "," +
               std::to_string(c.resolution) + "," + std::to_string(a.figures.codes) + "," + Number(a.figures.lsbMv, "") +
               "," + Number(a.figures.measurementStepLsb, "");
    return "\"channel\": \"" + letter + "\", \"range\": \"" + std::string(c.span().name) + "\", \"coding\": \"" +
           std::string(CodingName(c.coding)) + "\", \"resolution\": " + std::to_string(c.resolution) +
           ", \"codes\": " + std::to_string(a.figures.codes) + ", \"lsb_mv\": " + Number(a.figures.lsbMv) +
           ", \"measurement_step_lsb\": " + Number(a.figures.measurementStepLsb);
}

std::string csvQuoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string Number(double v, const char* none)
{
    if (!std::isfinite(v))
        return none;
    if (v == 0)
        v = 0;  // no "-0"
    char out[40];
    const auto [end, ec] = std::to_chars(out, out + sizeof out, v, std::chars_format::general, 12);
    return ec == std::errc() ? std::string(out, end) : std::string(none);
}

std::string ChannelJson(int channel, const ChannelAnalysis& a)
{
    std::string out = "{" + conditions(channel, a, true);
    for (const Field& f : kFields) {
        const Figure& figure = a.figures.*f.value;
        out += ", \"" + std::string(f.name) + "\": " + Number(figure.value) + ", \"" + f.name +
               "_uncertainty\": " + Number(figure.known() ? figure.uncertainty : kNaN);
    }
    out += ", \"decreasing_steps\": " + std::to_string(a.figures.decreasingSteps) + ", \"notes\": [";
    for (size_t i = 0; i < a.notes.size(); ++i)
        out += (i == 0 ? "\"" : ", \"") + JsonString(a.notes[i]) + "\"";
    return out + "]}";
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
    std::string out = "channel,range,coding,resolution,codes,lsb_mv,measurement_step_lsb";
    for (const Field& f : kFields)
        out += std::string(",") + f.name + "," + f.name + "_uncertainty";
    out += ",decreasing_steps,notes\r\n";
    for (size_t i = 0; i < channels.size(); ++i) {
        const ChannelAnalysis& a = channels[i];
        out += conditions(static_cast<int>(i), a, false);
        for (const Field& f : kFields) {
            const Figure& figure = a.figures.*f.value;
            out += "," + Number(figure.value, "") + "," + Number(figure.known() ? figure.uncertainty : kNaN, "");
        }
        std::string notes;
        for (const std::string& n : a.notes)
            notes += (notes.empty() ? "" : " ") + n;
        out += "," + std::to_string(a.figures.decreasingSteps) + "," + (notes.empty() ? "" : csvQuoted(notes)) + "\r\n";
    }
    return out;
}

const char kCodesCsvHeader[] = "channel,position,code,volts_v,sigma_v,readings,uncertainty_v,ideal_v,"
                               "inl_endpoint_lsb,inl_bestfit_lsb,dnl_lsb";

std::string CodesCsv(std::span<const ChannelAnalysis> channels)
{
    std::string out = std::string(kCodesCsvHeader) + "\r\n";
    size_t rows = 0;
    for (const ChannelAnalysis& a : channels)
        rows += static_cast<size_t>(a.figures.codes);
    out.reserve(out.size() + rows * 110);
    for (size_t ch = 0; ch < channels.size(); ++ch) {
        const ChannelAnalysis& a = channels[ch];
        const Conditions& c = a.conditions;
        for (size_t p = 0; p < a.volts.size(); ++p) {
            if (p >= a.count.size() || a.count[p] == 0)
                continue;
            const int position = static_cast<int>(p);
            out += ChannelLetter(static_cast<int>(ch));
            out += "," + std::to_string(position) + "," + std::to_string(c.code(position)) + "," + Number(a.volts[p], "") +
                   "," + Number(a.sigma[p], "") + "," + std::to_string(a.count[p]) + ",";
            const auto at = [&](const std::vector<double>& column) { return Number(p < column.size() ? column[p] : kNaN, ""); };
            out += at(a.uncertainty) + "," + Number(c.ideal(position), "") + "," + at(a.inlEndpoint) + "," +
                   at(a.inlBestfit) + "," + at(a.dnl) + "\r\n";
        }
    }
    return out;
}

std::vector<std::string> Notes(int channel, const ChannelAnalysis& a)
{
    std::vector<std::string> notes;
    for (const std::string& n : a.notes)
        notes.push_back(std::string("Channel ") + ChannelLetter(channel) + ": " + n);
    return notes;
}

}  // namespace analysis
