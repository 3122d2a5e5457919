// The self-test: connect afresh, power up, set the +-10 V range, and measure
// every output at zero scale and at full scale.
#include "selftest.h"
#include "testform.h"

#include "board/boardlink.h"
#include "board/ops.h"
#include "runtime/events.h"

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

void TestForm::Command3_Click()
{
    const Busy busy(*this, owner::Activity::SelfTest);
    if (!busy.Held())
        return;
    if (Board().ClearsVerdictBeforeTest())
        Label2->setText("");
    Board().ConnectStep();

    DoEvents();
    selftest::WaitMoreThan(2.0);

    int16_t FailFlag = 0;
    if (!ops::SelfTestChecks())
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
