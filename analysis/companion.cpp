#include "companion.h"

#include "datafile.h"
#include "json.h"
#include "notetext.h"

#include <cmath>
#include <ctime>

namespace analysis {
namespace {

constexpr char kFormat[] = "QV4816X sweep conditions";
constexpr int kVersion = 1;
constexpr size_t kLongestText = 200;

std::string quoted(std::string_view text) { return "\"" + JsonString(text) + "\""; }

using json::Value;

// Each reads one optional field; false, with `why`, for a wrong kind or value.
bool readText(const Value& root, const char* key, std::string& out, std::string& why)
{
    const Value* v = root.Find(key);
    if (v == nullptr || v->kind == Value::Kind::Null)
        return true;
    if (v->kind != Value::Kind::String || v->text.size() > kLongestText) {
        why = std::string("\"") + key + "\" is not a text of at most 200 bytes";
        return false;
    }
    out = v->text;
    return true;
}

bool whole(const Value& root, const char* key, double lo, double hi, std::optional<double>& out, std::string& why)
{
    const Value* v = root.Find(key);
    if (v == nullptr || v->kind == Value::Kind::Null)
        return true;
    if (v->kind != Value::Kind::Number || v->number != std::floor(v->number) || v->number < lo || v->number > hi) {
        why = std::string("\"") + key + "\" is not a whole number from " + Fixed(lo, 0) + " to " + Fixed(hi, 0);
        return false;
    }
    out = v->number;
    return true;
}

bool ranges(const Value& root, RecordedSweep& c, std::string& why)
{
    const Value* v = root.Find("ranges");
    if (v == nullptr || v->kind == Value::Kind::Null)
        return true;
    if (v->kind != Value::Kind::Object) {
        why = "\"ranges\" is not an object";
        return false;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        const Value* r = v->Find(std::string(1, ChannelLetter(ch)));
        if (r == nullptr || r->kind == Value::Kind::Null)
            continue;
        const auto range = r->kind == Value::Kind::String ? RangeFromText(r->text) : std::nullopt;
        if (!range) {
            why = std::string("the range of channel ") + ChannelLetter(ch) + " is not one of the six";
            return false;
        }
        c.ranges[static_cast<size_t>(ch)] = range;
    }
    return true;
}

bool board(const Value& root, RecordedSweep& c, std::string& why)
{
    const Value* v = root.Find("board");
    if (v == nullptr || v->kind == Value::Kind::Null)
        return true;
    const Value* simulated = v->Find("simulated");
    if (simulated == nullptr || simulated->kind != Value::Kind::Bool) {
        why = "\"board\" does not say whether it was simulated";
        return false;
    }
    BoardIdentity b;
    b.simulated = simulated->boolean;
    if (!readText(*v, b.simulated ? "options" : "identity", b.text, why))
        return false;
    c.board = b;
    return true;
}

}  // namespace

std::string PartName(int resolution)
{
    return ValidResolution(resolution) ? "QV48" + std::to_string(resolution) + "X" : std::string();
}

std::string UtcText(std::chrono::system_clock::time_point t)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm utc{};
    char out[32];
    if (gmtime_r(&seconds, &utc) == nullptr || std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0)
        return {};
    return out;
}

std::string DataChecksum(std::string_view bytes)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        h ^= static_cast<uint8_t>(c);
        h *= 0x100000001b3ull;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4)
        out[static_cast<size_t>(i)] = kHex[h & 0xF];
    return out;
}

std::string CompanionText(const RecordedSweep& c, std::string_view dataName, std::string_view dataBytes)
{
    const auto orNull = [](bool known, const std::string& value) { return known ? value : std::string("null"); };
    std::string out = "{\n  \"format\": " + quoted(kFormat) + ",\n  \"version\": " + std::to_string(kVersion) +
                      ",\n  \"data_file\": " + quoted(dataName) + ",\n  \"data_bytes\": " +
                      std::to_string(dataBytes.size()) + ",\n  \"data_fnv1a64\": " + quoted(DataChecksum(dataBytes)) +
                      ",\n  \"program\": " + quoted(c.program) + ",\n  \"part\": " + quoted(c.part) +
                      ",\n  \"resolution\": " + orNull(c.resolution.has_value(), std::to_string(c.resolution.value_or(0))) +
                      ",\n  \"coding\": " + orNull(c.coding.has_value(), quoted(CodingName(c.coding.value_or(Coding::Binary)))) +
                      ",\n  \"ranges\": {";
    for (int ch = 0; ch < kChannels; ++ch) {
        const auto& r = c.ranges[static_cast<size_t>(ch)];
        out += std::string(ch == 0 ? "" : ", ") + "\"" + ChannelLetter(ch) + "\": " +
               orNull(r.has_value(), quoted(Ranges()[static_cast<size_t>(r.value_or(0))].name));
    }
    out += "},\n  \"started\": " + quoted(c.started) + ",\n  \"ended\": " + quoted(c.ended) +
           ",\n  \"steps\": " + orNull(c.steps.has_value(), std::to_string(c.steps.value_or(0))) + ",\n  \"board\": ";
    if (c.board)
        out += std::string("{\"simulated\": ") + (c.board->simulated ? "true, \"options\": " : "false, \"identity\": ") +
               quoted(c.board->text) + "}";
    else
        out += "null";
    return out + "\n}\n";
}

bool ReadCompanionText(std::string_view text, size_t dataBytes, std::string_view dataChecksum,
                       RecordedSweep& c, std::string& why)
{
    c = RecordedSweep{};
    Value root;
    if (!json::Parse(text, root, why)) {
        why = "not JSON: " + why;
        return false;
    }
    const Value* format = root.Find("format");
    if (format == nullptr || format->kind != Value::Kind::String || format->text != kFormat) {
        why = "not the companion of a sweep data file (no \"format\": \"" + std::string(kFormat) + "\")";
        return false;
    }
    std::optional<double> number;
    if (!whole(root, "version", 1, 1e6, number, why))
        return false;
    if (number != kVersion) {
        why = "version " + (number ? Fixed(*number, 0) : std::string("missing")) + " is not one this program reads";
        return false;
    }
    std::optional<double> bytes;
    std::string checksum;
    if (!whole(root, "data_bytes", 0, 1e15, bytes, why) || !readText(root, "data_fnv1a64", checksum, why))
        return false;
    if (bytes != static_cast<double>(dataBytes) || checksum != dataChecksum) {
        why = "it describes another data file (" + (bytes ? Fixed(*bytes, 0) : std::string("?")) + " bytes, checksum " +
              (checksum.empty() ? "?" : checksum) + "; this one has " + std::to_string(dataBytes) + " bytes, checksum " +
              std::string(dataChecksum) + ")";
        return false;
    }
    std::string coding;
    number.reset();
    if (!whole(root, "resolution", 0, 16, number, why) || !readText(root, "coding", coding, why))
        return false;
    if (number && !ValidResolution(static_cast<int>(*number))) {
        why = "\"resolution\" is not 16, 14 or 12";
        return false;
    }
    if (number)
        c.resolution = static_cast<int>(*number);
    if (!coding.empty() && !(c.coding = CodingFromText(coding))) {
        why = "\"coding\" is neither binary nor twos";
        return false;
    }
    number.reset();
    if (!whole(root, "steps", 0, kSweepSteps, number, why))
        return false;
    if (number)
        c.steps = static_cast<size_t>(*number);
    return ranges(root, c, why) && board(root, c, why) && readText(root, "part", c.part, why) &&
           readText(root, "started", c.started, why) && readText(root, "ended", c.ended, why) &&
           readText(root, "program", c.program, why);
}

CompanionRead ReadCompanionFile(const std::string& dataPath, size_t dataBytes, std::string_view dataChecksum,
                                RecordedSweep& conditions, std::string& why)
{
    std::string text;
    bool missing = false;
    if (!ReadRegularFile(CompanionPath(dataPath), json::kMaxText, text, why, &missing))
        return missing ? CompanionRead::Absent : CompanionRead::Refused;
    return ReadCompanionText(text, dataBytes, dataChecksum, conditions, why) ? CompanionRead::Read
                                                                              : CompanionRead::Refused;
}

}  // namespace analysis
