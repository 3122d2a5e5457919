#pragma once
// A bench DMM measuring DC volts over SCPI: identified (*IDN?), set up with
// the SCPI-99 commands common meters accept, its error queue checked after
// the set-up, then read one reading at a time (READ?). Every failure is an
// Error with words for the user; nothing waits longer than the timeouts.
#include "transport.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace meter {

struct Identity {
    std::string maker, model, serial, firmware;
    std::string Text() const;  // the four fields as *IDN? gives them
};

enum class AutoZero { On, Off, Once };
std::string_view AutoZeroName(AutoZero a);  // "ON", "OFF", "ONCE"

// How the DC-volts function and its range are chosen.
enum class SetupStyle {
    Configure,  // CONF:VOLT:DC <volts>
    Function,   // FUNC "VOLT:DC" then VOLT:DC:RANG <volts>
};

struct Setup {
    double expectedVolts = 10;  // the largest reading expected: the meter picks the range that holds it
    double nplc = 1;            // integration time, in power-line cycles
    AutoZero autoZero = AutoZero::On;
    SetupStyle style = SetupStyle::Configure;
    double digits = 6.5;  // the meter's resolution: one count is range x 10^-floor(digits)
};

// What the meter was set to.
struct Configuration {
    double rangeVolts = 0;
    double resolutionVolts = 0;  // one count of the display
    std::vector<std::string> commands;  // as sent
};

class Meter {
public:
    explicit Meter(std::unique_ptr<Transport> transport);
    // Opens the meter at `address` (no traffic yet).
    static std::unique_ptr<Meter> Open(const Address& address, const Timeouts& timeouts = {});

    Identity Identify();
    // Sends the set-up, then empties the error queue: any error it held is
    // thrown (Kind::Refused) naming the set-up. Asks back the range chosen.
    Configuration Configure(const Setup& setup);

    // One reading, in volts: READ? and its answer.
    double Read();
    // The same in two halves, so that a caller can wait for WatchFd() to
    // turn readable in between (ReadingWaiting tells without waiting).
    void StartReading();
    bool ReadingWaiting() { return transport_->AnswerWaiting(); }
    double FinishReading();
    int WatchFd() const { return transport_->WatchFd(); }

    // One query and its answer line; one command without answer.
    std::string Query(std::string_view query);
    void Command(std::string_view command) { transport_->Send(command); }
    const std::string& name() const { return transport_->name(); }
    const Timeouts& timeouts() const { return transport_->timeouts(); }

private:
    std::unique_ptr<Transport> transport_;
};

// The commands a set-up sends, in order, before the error queue is read.
std::vector<std::string> SetupCommands(const Setup& setup);

// A reading as a meter answers it (NR1, NR2 or NR3, blanks around). Throws
// Error: Garbage for anything else, Refused for the overload value 9.9E37.
double ParseReading(std::string_view answer);
// "-113,\"Undefined header\"" -> {-113, "Undefined header"}; throws Garbage.
std::pair<int, std::string> ParseErrorEntry(std::string_view answer);
// Four comma-separated fields of printable text; throws Garbage.
Identity ParseIdentity(std::string_view answer);

}  // namespace meter
