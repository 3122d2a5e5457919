#pragma once
// The figures as text: one JSON object per channel (as a remote-control
// server or `qv4816x-analyse --json` gives them), the whole document, a CSV
// table of the figures, a CSV of every code measured, and the notes.
#include "figures.h"
#include "notetext.h"

#include <span>
#include <string>
#include <vector>

namespace analysis {

// {"channel": "A", "range": "±10V", "coding": "binary", "resolution": 16,
//  "codes": 65536, "lsb_mv": ..., "measurement_step_lsb": ...,
//  "offset_error_lsb": ..., "offset_error_lsb_uncertainty": ..., ...,
//  "decreasing_steps": 0, "notes": ["...", ...]}: every figure followed by
// its uncertainty; a figure the data cannot give, and its uncertainty, null.
std::string ChannelJson(int channel, const ChannelAnalysis& a);

// {"channels": [...]}, channels in order A to D, one per line, ending in a
// line feed.
std::string FiguresJson(std::span<const ChannelAnalysis> channels);

// A header line with the JSON names, then one line per channel; empty fields
// for figures the data cannot give; the notes last, in one quoted field.
std::string FiguresCsv(std::span<const ChannelAnalysis> channels);

// The header of CodesCsv, names with their units.
extern const char kCodesCsvHeader[];

// One line per position measured, channel by channel: the channel, the
// position on the transfer, the DAC code, the mean reading, the readings'
// standard deviation and number, the uncertainty of the mean, the ideal
// output, INL by both methods and DNL; empty where the figures leave a
// position out.
std::string CodesCsv(std::span<const ChannelAnalysis> channels);

// The channel's notes, each beginning "Channel A: ", for a reader of all
// four channels' notes together.
std::vector<std::string> Notes(int channel, const ChannelAnalysis& a);

// A number as the JSON and CSV give it: up to 12 significant digits, "null"
// (JSON) or "" (CSV) for NaN.
std::string Number(double v, const char* none = "null");

}  // namespace analysis
