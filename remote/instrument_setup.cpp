// The settings as commands (*LRN?), and snapshots of them kept in the user's
// data folder (*SAV n, *RCL n).
#include "instrument.h"
#include "params.h"

#include "analysis/ranges.h"
#include "board/identity.h"
#include "board/primitives.h"
#include "runtime/savefile.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using Step = Instrument::Step;
using namespace params;

namespace {
constexpr int kSetups = 10;             // *SAV 0 .. *SAV 9
constexpr std::streamsize kMaxSetup = 4096;  // a saved line is far shorter

// The headers a snapshot may hold: settings only, never a query, a sweep or a file.
bool SettingCommand(const scpi::Command& c)
{
    if (c.error != scpi::kNoError || c.query || c.common || c.nodes.size() < 2)
        return false;
    const std::string_view allowed[][2] = {{"DAC", "RESolution"}, {"DAC", "RANGe"}, {"DAC", "CODE"},
                                           {"PINS", ""},          {"CONTrol", ""},   {"POWer", ""}};
    for (const auto& [root, node] : allowed)
        if (scpi::Matches(c.nodes[0], root) && (node.empty() || scpi::Matches(c.nodes[1], node)))
            return true;
    return false;
}
}  // namespace

std::string SetupPath(int n)
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg != nullptr && xdg[0] == '/' ? xdg : std::string(home != nullptr ? home : "") + "/.local/share";
    // One folder per board: its serial number (SIMULATED for the simulated
    // board), kept to characters that are safe in a file name.
    std::string board = CurrentBoardIdentity().serial;
    for (char& c : board)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
            c = '_';
    if (board.empty() || board.size() > 64)
        board = "0";
    return base + "/qv4816x/setups/" + board + "/" + std::to_string(n) + ".scpi";
}

std::string Instrument::Learn()
{
    const ops::AllRegisters all = ops::ReadAll();
    ShowAll(all);
    auto bit = [](int32_t v, int b) { return Num((v >> b) & 1); };
    std::string a = "DAC:RES " + Num(State.ResolutionBits);
    // LDAC is set while it is not held high, then the pulse as it was.
    a += ";:PINS:CLR " + Num(State.ClrPin != 0) + ";BIN " + Num(State.BinPin != 0) + ";LDAC:PULS 0;:PINS:LDAC " +
         Num(State.LdacPin != 0) + ";LDAC:PULS " + Num(mirror_.PulseLdac());
    a += ";:CONT:TSD " + bit(all.control, 3) + ";CLAM " + bit(all.control, 2) + ";CLRS " + bit(all.control, 1) +
         ";SDOD " + bit(all.control, 0);
    a += ";:POW:REF " + bit(all.power, 4);
    for (int c = 0; c < 4; ++c)
        a += ";DAC " + std::string(1, static_cast<char>('A' + c)) + "," + bit(all.power, c);
    for (int c = 0; c < 4; ++c) {
        const int32_t r = all.ranges[static_cast<size_t>(c)];
        if (r >= 0 && r <= 5)
            a += ";:DAC:RANG " + std::string(1, static_cast<char>('A' + c)) + "," +
                 std::string(analysis::Ranges()[static_cast<size_t>(r)].mnemonic);
    }
    for (int c = 0; c < 4; ++c)
        a += ";:DAC:CODE " + std::string(1, static_cast<char>('A' + c)) + "," + Num(all.codes[static_cast<size_t>(c)]);
    return a;
}

Step Instrument::Setup(Ctx& ctx)
{
    Session& s = ctx.session;
    const std::string& name = ctx.command.nodes.front();
    if (name == "LRN") {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Learn();
        return Step::Next;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto n = Integer(ctx, 0, 0, kSetups - 1);
    if (!n)
        return Step::Stop;
    const std::string path = SetupPath(*n);
    if (name == "SAV") {
        const std::string folder = path.substr(0, path.rfind('/'));
        std::string why;
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
            why = folder + ": " + error.message();
        if (error || !ReplaceFileContents(path, Learn() + "\n", why)) {
            s.PushError(scpi::kFileNameError, why);
            return Step::Stop;
        }
        return Step::Next;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        s.PushError(scpi::kFileNameError, "nothing saved as " + Num(*n));
        return Step::Stop;
    }
    std::string text(static_cast<size_t>(kMaxSetup), '\0');
    in.read(text.data(), kMaxSetup);
    text.resize(static_cast<size_t>(in.gcount()));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const std::vector<scpi::Command> commands = scpi::ParseLine(text);
    bool sound = !commands.empty() && text.find('\n') == std::string::npos;
    for (const scpi::Command& c : commands)
        sound = sound && SettingCommand(c);
    if (!sound) {
        s.PushError(scpi::kExecutionError, "settings " + Num(*n) + " are damaged: " + path);
        return Step::Stop;
    }
    if (sweepRunning_)
        FinishSweep();
    for (const scpi::Command& c : commands) {
        std::string ignored;
        Ctx one{s, c, ignored};
        if (Dispatch(one) != Step::Next)
            return Step::Stop;
    }
    return Step::Next;
}
