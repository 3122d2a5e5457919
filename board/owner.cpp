#include "owner.h"

#include <map>
#include <vector>

namespace owner {
namespace {
struct Record {
    Activity activity = Activity::None;
    Side side = Side::Local;
    int32_t progress = 0;
    int ownWork = 0;
    Side acting = Side::Local;
    int nextWatch = 1;
    std::map<int, std::function<void()>> watchers;
    uint64_t panelChanges = 0;
};

Record& The()
{
    static Record r;
    return r;
}

std::string Reason(Activity a)
{
    switch (a) {
    case Activity::Sweep: return "a sweep is running";
    case Activity::SelfTest: return "the self-test is running";
    case Activity::Characterisation: return "a characterisation run is under way";
    case Activity::None: break;
    }
    return {};
}

void Tell()
{
    // A watcher may unwatch itself: call a copy.
    std::vector<std::function<void()>> calls;
    for (const auto& [id, f] : The().watchers)
        calls.push_back(f);
    for (const auto& f : calls)
        f();
}
}  // namespace

std::string Take(Activity what, Side who)
{
    Record& r = The();
    if (r.activity != Activity::None)
        return Reason(r.activity);
    if (what == Activity::None)
        return {};
    r.activity = what;
    r.side = who;
    if (what == Activity::Sweep)
        r.progress = 0;
    Tell();
    return {};
}

void Release()
{
    Record& r = The();
    if (r.activity == Activity::None)
        return;
    r.activity = Activity::None;
    Tell();
}

Activity Current() { return The().activity; }
Side Holder() { return The().side; }
bool HeldBy(Side side) { return The().activity != Activity::None && The().side == side; }

void SetProgress(int32_t steps) { The().progress = steps; }
int32_t Progress() { return The().progress; }

std::string WriteRefusal()
{
    const Record& r = The();
    const bool windowsOwnRun = r.acting == Side::Local && r.side == Side::Local && r.activity != Activity::Characterisation;
    if (r.ownWork > 0 || windowsOwnRun)
        return {};
    return Reason(r.activity);
}

void CheckWrite()
{
    if (std::string why = WriteRefusal(); !why.empty())
        throw Refused(why);
    if (The().acting == Side::Local && The().ownWork == 0)
        NotePanelChange();
}

Acting::Acting(Side side) : before_(The().acting) { The().acting = side; }
Acting::~Acting() { The().acting = before_; }

OwnWork::OwnWork() { ++The().ownWork; }
OwnWork::~OwnWork() { --The().ownWork; }

int Watch(std::function<void()> changed)
{
    const int id = The().nextWatch++;
    The().watchers.emplace(id, std::move(changed));
    return id;
}

void Unwatch(int id) { The().watchers.erase(id); }

void NotePanelChange() { ++The().panelChanges; }
uint64_t PanelChanges() { return The().panelChanges; }

}  // namespace owner
