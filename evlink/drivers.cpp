#include "drivers.h"

#include "options.h"
#include "sim/simboard.h"

#ifdef EVLINK_WITH_USB
#include "usb/usbdriver.h"
#endif

namespace evlink {

const std::vector<Driver*>& Drivers()
{
    static const std::vector<Driver*> list = [] {
        const Options& options = EnvironmentOptions();
        Driver* usb = nullptr;
#ifdef EVLINK_WITH_USB
        if (!options.only)
            usb = &UsbDriver();
#endif
        // The simulated board is chosen, never fallen into.
        Driver* sim = options.absent || !SimulationAsked() ? nullptr : &sim::ProcessSimDriver();
        return ArrangeDrivers(options, usb, sim);
    }();
    return list;
}

Front& ProcessFront()
{
    static const std::unique_ptr<Trace> trace = Trace::FromEnvironment();
    static Front front(Drivers(), trace.get());
    return front;
}

}  // namespace evlink
