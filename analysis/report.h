#pragma once
// The figures as text: one JSON object per channel (as a remote-control
// server or `qv4816x-analyse --json` gives them), the whole document, a CSV
// table, and plain-words notes on what the figures can and cannot tell.
#include "figures.h"

#include <span>
#include <string>
#include <vector>

namespace analysis {

// {"channel": "A", "range": "±10V", "coding": "binary", "resolution": 16,
//  "codes": 65536, "lsb_mv": ..., ...}; a figure the data cannot give is null.
std::string ChannelJson(int channel, const ChannelAnalysis& a);

// {"channels": [...]}, channels in order A to D, one per line, ending in a
// line feed.
std::string FiguresJson(std::span<const ChannelAnalysis> channels);

// A header line with the JSON names, then one line per channel; empty fields
// for figures the data cannot give.
std::string FiguresCsv(std::span<const ChannelAnalysis> channels);

// Sentences for the user: a measurement step coarser than one LSB, too few
// codes, an output that does not move.
std::vector<std::string> Notes(int channel, const ChannelAnalysis& a);

// "A" to "D".
char ChannelLetter(int channel);

// A number as the JSON and CSV give it: up to 12 significant digits, "null"
// (JSON) or "" (CSV) for NaN.
std::string Number(double v, const char* none = "null");

}  // namespace analysis
