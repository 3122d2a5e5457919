// The self-test: connect afresh, power up, set the +-10 V range, and measure
// every output at zero scale and at full scale.
#include "selftest.h"
#include "testform.h"

#include "board/adc.h"
#include "board/boardlink.h"
#include "board/declare.h"
#include "platform/events.h"

#include <QLabel>
#include <chrono>
#include <thread>

namespace selftest {
void WaitMoreThan(double seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto span = std::chrono::duration<double>(seconds);
    while (Clock::now() - start <= span)
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(span) +
                                      std::chrono::microseconds(100));
}
}  // namespace selftest

namespace {
constexpr int32_t kPowerUpAllDacs = 15;
constexpr int32_t kRangePlusMinus10V = 4;
constexpr int16_t kAllChannels = 4;

void sendFrame(int16_t address, int16_t reg, int32_t data)
{
    State.ChannelAddress = address;
    State.RegisterSelect = reg;
    State.DataWord = data;
    State.ReadFlag = 0;
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);
}

// Measures A to D in order; false when any of them is outside its window.
bool measureAll(bool (*ok)(float))
{
    bool all = true;
    for (int channel = 0; channel < 4; ++channel)
        if (!ok(MeasureChannel(channel)))
            all = false;
    return all;
}
}  // namespace

void TestForm::Command3_Click()
{
    const Busy busy(*this);
    if (Board().ClearsVerdictBeforeTest())
        Label2->setText("");
    Board().ConnectStep();

    DoEvents();
    selftest::WaitMoreThan(2.0);

    int16_t FailFlag = 0;
    sendFrame(0, 2, kPowerUpAllDacs);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);  // the same frame again
    for (int16_t a = 0; a < 4; ++a)
        sendFrame(a, 1, kRangePlusMinus10V);

    sendFrame(kAllChannels, 0, 0);
    if (!measureAll(selftest::ZeroScaleOk))
        FailFlag = 1;
    sendFrame(kAllChannels, 0, 0xFFFF);
    if (!measureAll(selftest::FullScaleOk))
        FailFlag = 1;

    ShowVerdict(FailFlag == 1);
}

void TestForm::ShowVerdict(bool failed)
{
    QPalette palette = Label2->palette();
    palette.setColor(QPalette::WindowText, failed ? QColor(255, 0, 0) : QColor(0, 255, 0));
    Label2->setPalette(palette);
    Label2->setText(failed ? "FAIL" : "PASS");
    Label2->setAccessibleName(QString("Self-test result: ") + (failed ? "FAIL" : "PASS"));
    Label2->repaint();
}
