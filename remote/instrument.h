#pragma once
// The instrument behind every transport: the command tree, the status of each
// client (error queue, event status), and the long operations (the sweep, run
// step by step from the event loop, and the self-test with its pause), during
// which the other commands are served. Everything runs on the thread that
// owns the board. QtCore only.
#include "board/ops.h"
#include "board/owner.h"
#include "mirror.h"
#include "scpi.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A condition register of the instrument (OPERation or QUEStionable): its
// bits, and how often each has risen and fallen, so that every client's event
// register latches every transition since it last looked.
struct Condition {
    int bits = 0;
    std::array<unsigned, 16> rises{};
    std::array<unsigned, 16> falls{};
    void Set(int bit, bool on);
};

// One client's view of a condition register: event, enable and the
// transition filters (SCPI-99: a rise latches through PTR, a fall through NTR).
struct StatusRegister {
    int event = 0;
    int enable = 0;
    int ptr = 0x7FFF;
    int ntr = 0;
    bool seen = false;  // the counts below are taken
    std::array<unsigned, 16> rises{};
    std::array<unsigned, 16> falls{};
    void Latch(const Condition& c);
    void Preset() { enable = 0, ptr = 0x7FFF, ntr = 0; }
};

// The bits of the condition registers, by number.
namespace status {
constexpr int kSweeping = 3;       // OPERation: a sweep runs
constexpr int kSelfTesting = 8;    // OPERation: *TST? runs
constexpr int kCharacterising = 9; // OPERation: a characterisation runs
constexpr int kPanelChanged = 10;  // OPERation: a setting was changed at the panel
constexpr int kVoltage = 0;        // QUEStionable: a reading at the ADC's limit
constexpr int kCurrent = 1;        // QUEStionable: an over-current alarm
constexpr int kTemperature = 4;    // QUEStionable: the thermal alarm
}  // namespace status

// One client's status.
struct Session {
    std::deque<std::pair<int, std::string>> errors;  // oldest first, at most kMaxErrors
    int esr = 0;  // standard event status register
    int ese = 0;
    int sre = 0;
    int testTicket = 0;    // the self-test this client waits for
    bool opcWanted = false;  // *OPC given while busy
    StatusRegister operation;
    StatusRegister questionable;
    int realBits = 0;       // FORMat: 0 ASCii, 32 or 64 REAL
    bool swapped = false;   // FORMat:BORDer SWAPped: least significant byte first
    // The line being run and its number (from 1), for error reports.
    std::string line;
    long long lineNumber = 0;
    // Told of every error as it is queued (the standard-input transport
    // reports them on standard error).
    std::function<void(const Session&, int code, const std::string& info)> onError;
    uint64_t panelSeen = owner::PanelChanges();  // the panel's changes as of the last SYST:PAN:CHAN?

    static constexpr size_t kMaxErrors = 32;
    void PushError(int code, std::string info = {});
    int StatusByte() const;
};

// One line on its way: its commands are parsed one at a time as they run, so
// a line holds its text and one command, whatever it asks.
struct LineRun {
    scpi::LineParser parser{std::string()};
    scpi::Command command;  // the one that runs, or waits
    bool waits = false;     // `command` is to run again
    bool answered = false;  // the line has given an answer
};

// Numbers of a data query in the client's FORMat: comma-separated ASCII, or
// one definite-length block "#<n><length><bytes>" of REAL,32 or REAL,64.
std::string DataAnswer(const Session& s, const float* values, size_t count);
// Where *SAV n keeps its settings: $XDG_DATA_HOME/qv4816x/setups/<board>/n.scpi.
std::string SetupPath(int n);

class Instrument : public QObject {
    Q_OBJECT
public:
    explicit Instrument(PanelMirror& mirror, QObject* parent = nullptr);

    // The self-test's connection step: empty when connected, otherwise why not.
    std::function<std::string()> connect;
    // Saves the sweep data file; false and `why` on failure. The data file
    // writer of the board's sweep record unless replaced.
    std::function<bool(const std::string& path, std::string& why)> saveSweep;
    // Given to the standard-input client's status as its error report.
    std::function<void(const Session&, int code, const std::string& info)> stdioErrors;

    enum class Progress { Ran, Waits, LineDone };
    // Starts a line (the session keeps its text and number for error reports).
    void Begin(Session& session, LineRun& line, std::string text);
    // Runs the line's next command, or again the one that waits for a long
    // operation to end (Idle). Its answer goes to `out`, after a ';' when the
    // line answered before; the newline follows the line's last answer.
    // Waits: nothing ran, the command is to run again once Idle.
    Progress Next(Session& session, LineRun& line, std::string& out);
    // Runs the line on to its end (true) or until it waits (false), its
    // answers added to `reply` without the newline.
    bool Run(Session& session, LineRun& line, std::string& reply);
    // The same from the start of a line of text, `reply` emptied first.
    bool RunText(Session& session, std::string_view text, LineRun& line, std::string& reply);

    bool Busy() const { return sweepRunning_ || testRunning_; }
    bool SweepRunning() const { return sweepRunning_; }
    int SweepDone() const { return sweepNext_; }
    // Pause of the self-test before its frames (more than 2 s; tests shorten it).
    void SetTestPauseMs(int ms) { testPauseMs_ = ms; }

    // Board set-up of a *RST: start values, pulse LDAC, the start-up traffic.
    void Reset();
    // A characterisation run starts or ends (OPERation bit 9); a run that
    // holds the board (owner.h) sets it too, whoever started it.
    void SetCharacterising(bool on)
    {
        characterising_ = on;
        operation_.Set(status::kCharacterising, on);
    }
    // A setting was changed at the panel: OPERation bit 10 rises and falls,
    // so that every client's event register latches it.
    void PanelChanged();
    const Condition& Operation() const { return operation_; }
    const Condition& Questionable() const { return questionable_; }
    // The mirror told about every register a read-all read.
    void ShowAll(const ops::AllRegisters& all);

signals:
    void Idle();  // a sweep or a self-test has ended

public:
    enum class Step { Next, Stop, Wait };
    struct Ctx {
        Session& session;
        const scpi::Command& command;
        std::string& answer;
        size_t listIndex = 0;   // the channel's place in a channel list (0: the first, or no list)
        bool rerooted = false;  // the header named no command at its level and was taken from the root
    };

private:
    Step Execute(Ctx& ctx);
    Step Dispatch(Ctx& ctx);
    // A command of the tree, its channel given by a numbered header (`suffix`,
    // -1 for none) or a channel list, run once for each channel.
    struct Node;
    Step RunNode(const Node& node, Ctx& ctx, const std::vector<std::string>& nodes, int suffix);
    void SweepTick();
    void FinishSweep();

    // Handlers (instrument_*.cpp).
    Step Common(Ctx& ctx);
    // A DAC code read back or written, and shown on the front end.
    int32_t ReadCode(int channel);
    void WriteCode(int channel, int32_t code);
    Step DacCode(Ctx& ctx);
    Step DacVolts(Ctx& ctx);
    Step DacRange(Ctx& ctx);
    Step DacResolution(Ctx& ctx);
    Step DacLoadClear(Ctx& ctx);
    Step Control(Ctx& ctx);
    Step Power(Ctx& ctx);
    Step Pins(Ctx& ctx);
    Step RegisterAll(Ctx& ctx);
    Step Measure(Ctx& ctx);
    Step Sweep(Ctx& ctx);
    Step Characterise(Ctx& ctx);  // instrument_characterise.cpp
    Step System(Ctx& ctx);
    Step SelfTest(Ctx& ctx);
    Step Status(Ctx& ctx);
    Step Format(Ctx& ctx);
    Step Setup(Ctx& ctx);  // *LRN?, *SAV, *RCL
    std::string Learn();
    Step ErrorQueue(Ctx& ctx);
    // The conditions that are read rather than told: the board's owner, the
    // panel's changes, the alarm bits of the power register as last read.
    void RefreshConditions();

    PanelMirror& mirror_;
    Condition operation_;
    bool characterising_ = false;
    Condition questionable_;
    uint64_t panelChanges_ = owner::PanelChanges();
    QTimer sweepTimer_;
    bool sweepRunning_ = false;
    int sweepNext_ = 0;
    bool testRunning_ = false;
    int testTicket_ = 0;
    std::string testResult_;
    int testPauseMs_ = 2001;
};
