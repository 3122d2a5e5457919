#pragma once
// Who holds the board. A sweep, a self-test or a characterisation run,
// whoever starts it (the test window, the Characterise window or a remote
// client), holds the board until it ends. A characterisation run lets
// nothing but its own work write, the program's windows included. Meanwhile the
// board operations refuse every write from the other side, and every write
// from a remote client (even the one that started it) other than the sweep's
// or self-test's own work; a second sweep or self-test is refused, whoever
// asks. The program's own windows keep working during their own sweep. Every caller goes
// through here, so the rule is the same for the panel, the test window and
// the remote-control server.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace owner {

enum class Activity { None, Sweep, SelfTest, Characterisation };
enum class Side { Local, Remote };  // the program's own windows, or a remote client

// A write refused while someone else holds the board; what() is the reason.
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Takes the board for a sweep or a self-test: empty when taken, otherwise
// why not ("a sweep is running", "the self-test is running").
std::string Take(Activity what, Side who);
// Gives the board back (nothing when it is free).
void Release();

Activity Current();
Side Holder();  // meaningful while Current() is not None
// True while the board is held by a sweep or a self-test started on `side`.
bool HeldBy(Side side);

// The steps the running (or last) sweep has made; the sweep reports them.
void SetProgress(int32_t steps);
int32_t Progress();

// Why a write to the board is refused now: empty when the board is free,
// the write is the holder's own work, or the program's windows write while
// they hold the board.
std::string WriteRefusal();
// Throws Refused with WriteRefusal() when it is not empty; otherwise, for a
// write of the program's windows, counts a panel change.
void CheckWrite();

// The side whose command runs now: Local unless a remote command is being
// served (the server opens one of these around each command).
class Acting {
public:
    explicit Acting(Side side);
    ~Acting();
    Acting(const Acting&) = delete;
    Acting& operator=(const Acting&) = delete;

private:
    Side before_;
};

// The holder's own work: writes made while one exists are let through.
class OwnWork {
public:
    OwnWork();
    ~OwnWork();
    OwnWork(const OwnWork&) = delete;
    OwnWork& operator=(const OwnWork&) = delete;
};

// Told after every Take and Release (on the board's thread). Returns an id
// for Unwatch.
int Watch(std::function<void()> changed);
void Unwatch(int id);

// A setting changed at the panel: one counter, raised by every write the
// program's windows make (CheckWrite) and by the settings they keep without
// writing (NotePanelChange). A client remembers the count it last saw.
void NotePanelChange();
uint64_t PanelChanges();

}  // namespace owner
