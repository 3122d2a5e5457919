// The panel following the remote-control server.
#include "remotefollow.h"

#include "codefield.h"
#include "codetext.h"
#include "mainform.h"
#include "options.h"
#include "pickbox.h"
#include "runtime/guard.h"
#include "controls/led.h"
#include "controls/numled.h"
#include "runtime/numtext.h"
#include "controls/toggle.h"
#include "remote/instrument.h"
#include "remote/datafolder.h"
#include "remote/server.h"
#include "board/identity.h"
#include "board/owner.h"

#include "board/boardlink.h"

#include <QAction>
#include <QDir>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class PanelFollower final : public PanelMirror {
public:
    explicit PanelFollower(MainForm& form) : form_(form) {}

    bool PulseLdac() const override { return form_.PulseLdacTicked(); }

    void ShowPulseLdac(bool on) override
    {
        // The box without its click handling: the server sends what the click would.
        {
            const QSignalBlocker quiet(form_.Check1);
            form_.Check1->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        }
        if (on)
            form_.Toggle12->setValue(true);
        form_.Toggle12->setEnabled(!on);
    }

    // A code written or read back shows in the channel's read-back label.
    void ShowCode(int channel, int32_t code) override
    {
        form_.ReadBackLabels()[static_cast<size_t>(channel)]->setText(
            QString::fromStdString(State.Coding == "Hex" ? FormatHexCode(code) : std::to_string(code)));
    }

    void ShowRange(int channel, int rangeCode) override
    {
        if (rangeCode < 0 || rangeCode > 5)
            return;
        PickBox* boxes[4] = {form_.ComboRangeA, form_.ComboRangeB, form_.ComboRangeC, form_.ComboRangeD};
        const QSignalBlocker quiet(boxes[channel]);
        boxes[channel]->setCurrentIndex(rangeCode);
    }

    void ShowControl(int32_t bits) override
    {
        form_.Toggle1->setValue((bits & 8) != 0);
        form_.Toggle2->setValue((bits & 4) != 0);
        form_.Toggle3->setValue((bits & 2) != 0);
        form_.Toggle4->setValue((bits & 1) != 0);
    }

    void ShowPower(int32_t bits, bool withLamps) override
    {
        Toggle* switches[5] = {form_.Toggle5, form_.Toggle6, form_.Toggle7, form_.Toggle8, form_.Toggle9};
        for (int b = 0; b < 5; ++b)
            switches[b]->setValue(((bits >> b) & 1) != 0);
        if (!withLamps)
            return;
        form_.LED1->setLit((bits >> 7) & 1);
        form_.LED2->setLit((bits >> 8) & 1);
        form_.LED3->setLit((bits >> 9) & 1);
        form_.LED4->setLit((bits >> 10) & 1);
        form_.LED5->setLit((bits >> 5) & 1);
    }

    void ShowPins() override
    {
        form_.Toggle10->setValue(State.ClrPin != 0);
        form_.Toggle11->setValue(State.BinPin != 0);
        form_.Toggle12->setValue(State.LdacPin != 0);
    }

    void ShowVolts(int channel, float volts) override
    {
        NumLED* displays[4] = {form_.NumLED1, form_.NumLED2, form_.NumLED3, form_.NumLED4};
        displays[channel]->setValue(QString::fromStdString(FormatVolts4(volts)));
    }

    void ShowResolution(int bits) override
    {
        for (QAction* item : {form_.Mnu16, form_.Mnu14, form_.Mnu12})
            item->setChecked(false);
        (bits == 12 ? form_.Mnu12 : bits == 14 ? form_.Mnu14 : form_.Mnu16)->setChecked(true);
    }

private:
    MainForm& form_;
};


remote::Server* server = nullptr;

// The panel's controls that write to the board, or to a setting its writes use.
std::vector<QWidget*> WritingControls(MainForm& f)
{
    std::vector<QWidget*> list = {f.ComboRangeA, f.ComboRangeB, f.ComboRangeC, f.ComboRangeD, f.Toggle1, f.Toggle2,
                                  f.Toggle3,     f.Toggle4,     f.Toggle5,     f.Toggle6,     f.Toggle7, f.Toggle8,
                                  f.Toggle9,     f.Toggle10,    f.Toggle11,    f.Toggle12,    f.Check1,  f.Command3,
                                  f.Command4};
    for (CodeField* field : f.CodeFields())
        list.push_back(field);
    return list;
}

// While a client's sweep or self-test, or any characterisation run, holds the
// board, the panel's writing controls are disabled; they come back as they
// were when it ends.
void FollowOwner(MainForm& f)
{
    const bool remoteHolds =
        owner::HeldBy(owner::Side::Remote) || owner::Current() == owner::Activity::Characterisation;
    for (QWidget* w : WritingControls(f))
        w->setEnabled(!remoteHolds);
    for (QAction* a : {f.Mnu16, f.Mnu14, f.Mnu12})
        a->setEnabled(!remoteHolds);
    if (!remoteHolds)
        f.Toggle12->setEnabled(!f.PulseLdacTicked());  // LDAC is held high while pulsing
}

// The title tells how many clients are connected, before the board's mark.
void ShowClients(MainForm& f, int clients)
{
    static const QString mark = QString::fromStdString(SimulatedBoardMark());
    static QString caption = [&f] {
        QString t = f.windowTitle();
        return t.endsWith(mark) ? t.left(t.size() - mark.size()) : t;
    }();
    const QString remote =
        clients > 0 ? QString(" - remote: %1 client%2").arg(clients).arg(clients == 1 ? "" : "s") : QString();
    f.setWindowTitle(caption + remote + mark);
}
}  // namespace

Instrument& FollowingInstrument()
{
    // They live as long as the program.
    static Instrument* instrument = [] {
        auto* follower = new PanelFollower(MainForm::Instance());
        auto* made = new Instrument(*follower);
        made->connect = [] {
            // The panel's own connection step, with its Retry and Cancel.
            return Guarded([] { Board().ConnectStep(); }) ? std::string() : std::string("the connection was given up");
        };
        return made;
    }();
    return *instrument;
}

remote::Server* FollowingServer() { return server; }

bool StartRemoteIfAsked(const QStringList& arguments)
{
    std::vector<std::string> texts;
    for (const QString& a : arguments)
        texts.push_back(a.toStdString());
    std::vector<const char*> argv;
    for (const std::string& t : texts)
        argv.push_back(t.c_str());
    PanelOptions options;
    return ParsePanelOptions(CurrentEdition(), static_cast<int>(argv.size()), argv.data(), options) < 0 &&
           StartRemoteIfAsked(options);
}

bool StartRemoteIfAsked(const PanelOptions& options)
{
    // The panel follows whoever holds the board, with a server or without
    // (a characterisation run of the program's own window locks it too).
    static const bool following = [] {
        MainForm& form = MainForm::Instance();
        owner::Watch([&form] { FollowOwner(form); });
        return true;
    }();
    (void)following;
    if (!options.remote)
        return true;
    QString where = QString::fromStdString(options.remoteAddress);
    if (where.isEmpty())
        where = "127.0.0.1:5025";
    if (server == nullptr) {
        // The folder SWEep:SAVE writes into: the one the program started in.
        remote::SetDataFolder(QDir::currentPath().toStdString());
        server = new remote::Server(FollowingInstrument());
        MainForm& form = MainForm::Instance();
        QObject::connect(server, &remote::Server::ClientsChanged, &form,
                         [&form](int clients) { ShowClients(form, clients); });
    }
    if (options.idleSeconds >= 0)
        server->SetIdleSeconds(options.idleSeconds);
    QString error;
    if (!server->Listen(where, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    std::fprintf(stderr, "remote control on %s:%u\n", qPrintable(server->Address().toString()), server->Port());
    return true;
}
