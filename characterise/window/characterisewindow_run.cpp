// The Characterise window's handlers: the plan from the controls, connecting
// the meter, the run and how it goes.
#include "characterisewindow.h"

#include "analysis/ranges.h"
#include "board/owner.h"
#include "board/state.h"
#include "characterise/session.h"
#include "runtime/msgbox.h"
#include "runtime/programend.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

using characterise::RunState;
using characterise::Session;

namespace {

// "2 h 5 min", "3 min 12 s", "12 s", "0.4 s".
QString Duration(double seconds)
{
    if (seconds < 10)
        return QString::number(seconds, 'g', 2) + " s";
    const auto s = static_cast<long long>(std::llround(seconds));
    if (s < 60)
        return QString("%1 s").arg(s);
    if (s < 3600)
        return QString("%1 min %2 s").arg(s / 60).arg(s % 60);
    return QString("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

// "10 µV", "2.44 mV".
QString Volts(double v)
{
    const double a = std::abs(v);
    if (a >= 1 || a == 0)
        return QString::number(v, 'g', 3) + " V";
    if (a >= 1e-3)
        return QString::number(v * 1e3, 'g', 3) + " mV";
    return QString::number(v * 1e6, 'g', 3) + " \u00B5V";
}

int Resolution() { return analysis::ValidResolution(State.ResolutionBits) ? State.ResolutionBits : 16; }

QString Path(const std::string& path) { return QString::fromStdString(path); }

}  // namespace

std::optional<characterise::Plan> CharacteriseWindow::PlanFromControls(std::string& why) const
{
    characterise::Plan p;
    p.meter = Meter->text().trimmed().toStdString();
    if (p.meter != "adc" && !meter::ParseAddress(p.meter, why))
        return std::nullopt;
    p.nplc = Nplc->value();
    p.autoZero = AutoZero->currentIndex() == 0   ? meter::AutoZero::On
                 : AutoZero->currentIndex() == 1 ? meter::AutoZero::Off
                                                 : meter::AutoZero::Once;
    p.setupStyle = SetupStyle->currentIndex() == 0 ? meter::SetupStyle::Configure : meter::SetupStyle::Function;
    p.digits = Digits->value();
    p.timeoutMs = static_cast<int>(std::lround(Timeout->value() * 1000));
    p.channel = Channel->currentIndex();
    static constexpr characterise::CodeSet kSets[] = {characterise::CodeSet::MajorCarries, characterise::CodeSet::EveryNth,
                                                      characterise::CodeSet::All, characterise::CodeSet::List};
    p.codes = kSets[std::clamp(Codes->currentIndex(), 0, 3)];
    p.carryBits = CarryBits->value();
    p.every = Every->value();
    p.randomCodes = RandomCodes->value();
    p.seed = static_cast<uint64_t>(Seed->value());
    p.settleMs = Settle->value();
    p.readings = Readings->value();
    if (p.codes == characterise::CodeSet::List) {
        const auto list = characterise::ReadCodeListFile(ListFile->text().toStdString(), Resolution(), why);
        if (!list)
            return std::nullopt;
        p.list = *list;
        p.randomCodes = 0;
    }
    return p;
}

void CharacteriseWindow::SetMessage(const QString& text, bool error)
{
    Message->setText(text);
    Message->setStyleSheet(error ? "color: #b00000;" : QString());
    Message->setAccessibleDescription(text);
}

void CharacteriseWindow::Connect_Click()
{
    std::string why;
    const auto plan = PlanFromControls(why);
    Session& session = Session::Instance();
    if (!plan || !session.Connect(*plan, why)) {
        Identity->setText(QString());
        SetMessage(QString::fromStdString(why), true);
        FollowState();
        return;
    }
    const auto& h = session.Prepared();
    Identity->setText(QString("%1; range %2 V, one count %3")
                          .arg(QString::fromStdString(h.meterIdentity))
                          .arg(h.meterRangeVolts)
                          .arg(Volts(h.meterResolutionVolts)));
    Identity->setAccessibleDescription(Identity->text());
    SetMessage("Connected: channel " + QString(QChar('A' + plan->channel)) + " on " +
                   QString::fromUtf8(h.conditions.span().name.data(), static_cast<int>(h.conditions.span().name.size())) +
                   QString(", %1 bits").arg(h.conditions.resolution),
               false);
    ShowEstimate();
    FollowState();
}

void CharacteriseWindow::ShowEstimate()
{
    std::string why;
    const auto plan = PlanFromControls(why);
    Session& session = Session::Instance();
    const auto seconds = plan ? session.EstimateSeconds(*plan) : std::nullopt;
    if (!seconds) {
        Estimate->setText(plan ? "Connect to estimate how long the plan takes." : QString::fromStdString(why));
    } else {
        const size_t codes = characterise::Codes(*plan, session.Prepared().conditions.resolution).size();
        Estimate->setText(QString("About %1 for %2 codes (one reading takes %3).")
                              .arg(Duration(*seconds))
                              .arg(codes)
                              .arg(Duration(session.SecondsPerReading())));
    }
    Estimate->setAccessibleDescription(Estimate->text());
}

void CharacteriseWindow::Start_Click()
{
    std::string why;
    const auto plan = PlanFromControls(why);
    const std::string path = ResultsFile->text().trimmed().toStdString();
    if (plan && path.empty())
        why = "Name a results file.";
    if (!plan || path.empty() || !Session::Instance().Start(*plan, path, owner::Side::Local, why)) {
        SetMessage(QString::fromStdString(why), true);
        FollowState();
        return;
    }
    SetMessage("Running: each code goes into " + Path(path) + " as it is measured.", false);
    ShowEstimate();
    ShowProgress();
}

void CharacteriseWindow::Pause_Click()
{
    Session& session = Session::Instance();
    const auto* run = session.CurrentRun();
    if (run && run->state() == RunState::Paused)
        session.Resume();
    else
        session.Pause();
    ShowProgress();
}

void CharacteriseWindow::Stop_Click() { Session::Instance().Stop(); }

void CharacteriseWindow::BrowseList_Click()
{
    const QString path = QFileDialog::getOpenFileName(this, "List of codes", ListFile->text());
    if (!path.isEmpty())
        ListFile->setText(path);
}

void CharacteriseWindow::BrowseResults_Click()
{
    const QString path = QFileDialog::getSaveFileName(this, "Results file", ResultsFile->text());
    if (!path.isEmpty())
        ResultsFile->setText(path);
}

void CharacteriseWindow::ShowProgress()
{
    const auto* run = Session::Instance().CurrentRun();
    if (run == nullptr) {
        TimeLeft->setText("No run yet.");
    } else {
        Progress->setRange(0, static_cast<int>(std::max<size_t>(run->total(), 1)));
        Progress->setValue(static_cast<int>(run->done()));
        const QString count = QString("%1 of %2 codes").arg(run->done()).arg(run->total());
        const auto left = run->SecondsLeft();
        if (run->state() == RunState::Paused)
            TimeLeft->setText("Paused after " + count + ".");
        else if (run->state() == RunState::Running)
            TimeLeft->setText(count + (left ? ", about " + Duration(*left) + " left." : "."));
        else
            TimeLeft->setText(count + " measured.");
    }
    TimeLeft->setAccessibleDescription(TimeLeft->text());
    FollowState();
}

void CharacteriseWindow::ShowEnd()
{
    ShowProgress();
    const Session& session = Session::Instance();
    const auto* run = session.CurrentRun();
    if (run == nullptr)
        return;
    const QString file = Path(session.ResultsPath());
    switch (run->state()) {
    case RunState::Done:
        SetMessage(QString("Done: %1 codes measured, in %2.").arg(run->done()).arg(file), false);
        break;
    case RunState::Stopped:
        SetMessage(QString("Stopped: the %1 codes measured are in %2.").arg(run->done()).arg(file), false);
        break;
    case RunState::Failed: {
        const QString text = QString("The run stopped: %1. The %2 codes measured are in %3.")
                                 .arg(QString::fromStdString(run->message()))
                                 .arg(run->done())
                                 .arg(file);
        SetMessage(text, true);
        MsgBox(text.toStdString(), MsgButtons::Ok, MsgIcon::Exclamation, ProgramTitle());
        break;
    }
    default:
        break;
    }
}

void CharacteriseWindow::FollowState()
{
    const Session& session = Session::Instance();
    const auto* run = session.CurrentRun();
    const bool busy = session.Busy();
    for (QWidget* w : std::initializer_list<QWidget*>{Meter, Nplc, AutoZero, SetupStyle, Digits, Timeout, ConnectButton,
                                                      Channel, Codes, Settle, Readings, ResultsFile, BrowseResults})
        w->setEnabled(!busy);
    const int set = Codes->currentIndex();
    CarryBits->setEnabled(!busy && set == 0);
    Every->setEnabled(!busy && set == 1);
    RandomCodes->setEnabled(!busy && set != 3);
    Seed->setEnabled(!busy && set != 3);
    ListFile->setEnabled(!busy && set == 3);
    BrowseList->setEnabled(!busy && set == 3);
    StartButton->setEnabled(!busy && owner::Current() == owner::Activity::None);
    PauseButton->setEnabled(busy);
    PauseButton->setText(run && run->state() == RunState::Paused ? "Resume" : "Pause");
    StopButton->setEnabled(busy);
    AnalyseButton->setEnabled(!busy && run != nullptr && run->done() > 0);
}
