// The server inside the register panel (--remote): the panel's traffic for a
// script of actions (kept for the end-to-end test, which sends the same
// actions as SCPI to the program without a window), the panel following
// remote changes with no traffic of its own, the command tree on the
// simulated board, the sweep run step by step, and TCP clients at the limits.
#include "harness.h"
#include "panelcheck.h"

#include "board/primitives.h"
#include "panel/codefield.h"
#include "panel/mainform.h"
#include "panel/pickbox.h"
#include "panel/remotefollow.h"
#include "controls/led.h"
#include "controls/numled.h"
#include "controls/toggle.h"
#include "remote/instrument.h"
#include "remote/datafolder.h"
#include "remote/server.h"
#include "testwindow/testform.h"
#include "testwindow/writefileform.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/stat.h>
#include <QLabel>
#include <QPushButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

namespace {
using panelcheck::Pick;
using panelcheck::RequestsOf;

void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
}  // namespace

class RemotePanel : public QObject {
    Q_OBJECT
    MainForm* form = nullptr;
    Session session;

    // Runs one line in-process; the reply, or "<waiting>".
    QString Run(const QString& line)
    {
        LineRun run;
        std::string reply;
        if (!FollowingInstrument().RunText(session, line.toStdString(), run, reply))
            return "<waiting>";
        return QString::fromStdString(reply);
    }
    QString NextError() { return Run("SYST:ERR?"); }

private slots:
    void initTestCase()
    {
        harness::Setup(true);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
        FollowingInstrument().SetTestPauseMs(0);
    }

    // First, on the board as start-up left it: the panel's traffic for each
    // action, written as "> <the same action in SCPI>" and its request lines.
    void panelScriptTraffic()
    {
        const std::vector<std::pair<QString, std::function<void()>>> script = {
            {"DAC:CODE B,#H8000", [&] { Click(form->Text1); }},
            {"DAC:RANGe C,BIP10", [&] { Pick(form->ComboRangeC, QString::fromUtf8("\u00B110V")); }},
            {"CONTrol:TSD ON", [&] { Click(form->Toggle1); }},
            {"CONT:SDOD 1", [&] { Click(form->Toggle4); }},
            {"POWer:DAC B,ON", [&] { Click(form->Toggle6); }},
            {"POW:REF ON", [&] { Click(form->Toggle9); }},
            {"DAC:LOAD", [&] { Click(form->Command3); }},
            {"DAC:CLEar", [&] { Click(form->Command4); }},
            {"PINS:CLR OFF", [&] { Click(form->Toggle10); }},
            {"PINS:BIN 0", [&] { Click(form->Toggle11); }},
            {"PINS:LDAC:PULSe OFF", [&] { form->Check1->click(); }},
            {"PINS:LDAC OFF", [&] { Click(form->Toggle12); }},
            {"PINS:LDAC:PULSe ON", [&] { form->Check1->click(); }},
            {"DAC:CODE A,#HC000", [&] { Click(form->Text10); }},
            {"CONTrol:REGister?", [&] { Click(form->Command2); }},
            {"POWer:REGister?", [&] { Click(form->Command6); }},
            {"DAC:CODE? C", [&] { Click(form->Command9); }},
            {"DAC:RANGe? C", [&] { Click(form->Command12); }},
            {"REGister:ALL?", [&] { Click(form->Command1); }},
            {"MEASure:VOLTage? ALL", [&] { Click(form->Command14); }},
        };
        QFile out(QStringLiteral(QV_PANEL_SCRIPT_TRACE));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write("> (start-up)\n");  // the panel's start-up traffic is still in the trace
        for (const std::string& line : harness::Requests())
            out.write(QByteArray::fromStdString(line) + "\n");
        for (const auto& [scpi, act] : script) {
            const QStringList sent = RequestsOf(act);
            QVERIFY2(!sent.isEmpty() || scpi.contains("PULS"), qPrintable(scpi));
            out.write("> " + scpi.toUtf8() + "\n");
            for (const QString& line : sent)
                out.write(line.toUtf8() + "\n");
        }
        QCOMPARE(RequestsOf([&] { Click(form->Text1); }),
                 QStringList{"request code=217 dir=0 value=0x0001 index=0x8000 length=0"});
    }

    void panelFollowsRemoteChangesWithoutTrafficOfItsOwn()
    {
        Run("PINS:CLR ON;BIN ON");
        QVERIFY(form->Toggle10->value() && form->Toggle11->value());
        QCOMPARE(RequestsOf([&] { QCOMPARE(Run("DAC:CODE B,#H1234"), QString()); }),
                 QStringList{"request code=217 dir=0 value=0x0001 index=0x1234 length=0"});
        QCOMPARE(form->Label9->text(), QString("1234"));
        QCOMPARE(form->BitsDisplay[12]->value(), QString("1"));  // image 0x011234
        QCOMPARE(form->BitsDisplay[16]->value(), QString("1"));

        QCOMPARE(RequestsOf([&] { Run("DAC:RANG A,BIP5;:CONT:TSD OFF;CLAM ON;:POW:DAC C,1").size(); }).size(), 4);
        QCOMPARE(form->ComboRangeA->currentText(), QString::fromUtf8("\u00B15V"));
        QVERIFY(!form->Toggle1->value() && form->Toggle2->value() && form->Toggle7->value());

        QCOMPARE(RequestsOf([&] { Run("PINS:LDAC:PULS OFF"); }), QStringList{});
        QVERIFY(form->Check1->checkState() == Qt::Unchecked && form->Toggle12->isEnabled());
        QCOMPARE(RequestsOf([&] { Run("PINS:LDAC 0"); }),
                 QStringList{"request code=222 dir=0 value=0x008D index=0x0000 length=0"});
        QVERIFY(!form->Toggle12->value());
        QCOMPARE(RequestsOf([&] { Run("PINS:LDAC:PULS ON"); }),
                 QStringList{"request code=222 dir=0 value=0x009D index=0x0000 length=0"});
        QVERIFY(form->Check1->checkState() == Qt::Checked && form->Toggle12->value() && !form->Toggle12->isEnabled());

        const QString volts = Run("MEAS:VOLT? A");
        QCOMPARE(form->NumLED1->value(), volts);
        QCOMPARE(Run("DAC:RES 12;RES?"), QString("12"));
        QVERIFY(form->Mnu12->isChecked() && !form->Mnu16->isChecked());
        QCOMPARE(Run("DAC:RES 16;:SYST:ERR?"), QString("0,\"No error\""));
    }

    void codesVoltsAndTheirLimits()
    {
        auto sentBy = [&](const QString& line) { return RequestsOf([&] { Run(line); }); };
        auto index = [](int v) {
            return QString("request code=217 dir=0 value=0x0000 index=0x%1 length=0")
                .arg(QString::number(v, 16).toUpper().rightJustified(4, '0'));
        };
        Run("DAC:RANG A,UNI10;:PINS:BIN ON");
        QCOMPARE(sentBy("DAC:VOLT A,5"), QStringList{index(0x8000)});
        QCOMPARE(sentBy("DAC:VOLT A,10"), QStringList{index(0xFFFF)});  // the nominal end: full scale
        QCOMPARE(sentBy("DAC:VOLT A,10.01"), QStringList{});
        QCOMPARE(NextError(), QString("-222,\"Data out of range\""));
        Run("DAC:RANG A,BIP10");
        QCOMPARE(sentBy("DAC:VOLT A,0"), QStringList{index(0x8000)});
        QCOMPARE(Run("DAC:VOLT? A"), QString("0"));
        Run("PINS:BIN OFF");  // two's complement on bipolar ranges
        QCOMPARE(sentBy("DAC:VOLT A,-10"), QStringList{index(0x8000)});
        QCOMPARE(Run("DAC:VOLT? A"), QString("-10"));
        Run("PINS:BIN ON;:DAC:RES 12");
        QCOMPARE(sentBy("DAC:CODE A,4095"), QStringList{index(0xFFF0)});
        QCOMPARE(sentBy("DAC:CODE A,4096"), QStringList{});
        QCOMPARE(sentBy("DAC:VOLT A,-2.5"), QStringList{index(0x6000)});
        Run("DAC:RES 16");

        // *RST: the start-up traffic again, pulse LDAC ticked, 16 bits.
        Run("PINS:LDAC:PULS OFF;:DAC:RES 14");
        const QStringList reset = RequestsOf([&] { Run("*RST"); });
        // First the device's power-on state: powered down, +5V, codes 0, control 0.
        QCOMPARE(reset.size(), 10 + 2 + 10 * 2 + 1);
        QCOMPARE(reset[10], QString("request code=222 dir=0 value=0x009D index=0x0000 length=0"));
        QCOMPARE(reset[11], reset[10]);
        QCOMPARE(Run("POW:REG?;:DAC:RANG? B;:DAC:CODE? C;:CONT:REG?"), QString("0;UNI5;0;0"));
        QVERIFY(reset.last().startsWith("request code=218 dir=1 value=0xA000 index=0x0000 length=2"));
        QVERIFY(form->Check1->isChecked() && form->Mnu16->isChecked() && State.ResolutionBits == 16);

        session = Session{};
        QCOMPARE(Run("*IDN?"), QString("QV,QV4816X,SIMULATED,1.01.0006"));
        QCOMPARE(Run("FOO:BAR;*IDN?"), QString());  // the rest of a line goes after an error
        QCOMPARE(Run("DAC:RES?;:DAC:RANG? A;MEAS:VOLT? D;DAC:RES?").split(';').size(), 4);  // path rule, root
        QCOMPARE(Run("DAC:CODE A"), QString());
        QCOMPARE(Run("DAC:CODE E,1"), QString());
        QCOMPARE(Run("SYST:ERR:COUN?;*ESR?;*ESR?"), QString("3;48;0"));  // a command error and an execution error
        QCOMPARE(NextError(), QString("-113,\"Undefined header\""));
        QCOMPARE(NextError(), QString("-109,\"Missing parameter\""));
        QCOMPARE(NextError(), QString("-224,\"Illegal parameter value;channel A, B, C or D\""));
        QCOMPARE(NextError(), QString("0,\"No error\""));
        QCOMPARE(Run("*TST?"), QString("<waiting>"));  // the pause runs from the event loop
        LineRun run;
        std::string reply;
        QVERIFY(QTest::qWaitFor([&] { return FollowingInstrument().RunText(session, "*TST?", run, reply); }));
        QCOMPARE(QString::fromStdString(reply), QString("0"));
    }

    void sweepRunsStepByStepAndLeavesOtherCommandsServed()
    {
        Instrument& inst = FollowingInstrument();
        session = Session{};
        QCOMPARE(Run("SWE:STAR;STAT?"), QString("RUN"));
        QCOMPARE(Run("SWE:STAR"), QString());
        QCOMPARE(NextError(), QString("-221,\"Settings conflict;a sweep is running\""));
        QVERIFY(QTest::qWaitFor([&] { return inst.SweepDone() > 20; }));
        QCOMPARE(Run("*IDN?;SWE:STAT?"), QString("QV,QV4816X,SIMULATED,1.01.0006;RUN"));
        LineRun waiting;
        std::string reply;
        QVERIFY(!inst.RunText(session, "*OPC?", waiting, reply));
        QCOMPARE(Run("SWE:ABOR;STAT?"), QString("IDLE"));
        QVERIFY(inst.Run(session, waiting, reply));
        QCOMPARE(QString::fromStdString(reply), QString("1"));
        const int done = inst.SweepDone();
        QCOMPARE(Run("SWE:PROG?"), QString("%1,65536").arg(done));
        const QStringList data = Run("SWE:DATA? D,0,3").split(',');
        QCOMPARE(data.size(), 3);
        QCOMPARE(data[0].toFloat(), State.SweepVoltsD[0]);
        QCOMPARE(Run(QString("SWE:DATA? A,%1,1").arg(done)), QString("0"));  // not reached
        // The figures of the stopped sweep: one line of JSON, channel by channel
        // the same as the whole document's entries.
        const QJsonArray all = QJsonDocument::fromJson(Run("SWE:ANAL?").toUtf8()).object()["channels"].toArray();
        QCOMPARE(all.size(), 4);
        QCOMPARE(QJsonDocument::fromJson(Run("SWE:ANAL? C").toUtf8()).object(), all[2].toObject());
        QVERIFY(all[0].toObject()["codes"].toInt() <= done);
        // The notes travel, ASCII only: the conditions as the sweep recorded them first.
        QVERIFY(all[0].toObject()["notes"].toArray()[0].toString().contains("as the sweep recorded them"));
        const QString wire = Run("SWE:ANAL?");
        QVERIFY(std::all_of(wire.cbegin(), wire.cend(), [](QChar c) { return c.unicode() < 128; }));
    }

    void tcpClientsLongLinesBinaryAndTheLimit()
    {
        QVERIFY(!StartRemoteIfAsked({"prog", "--remote=127.0.0.1:0", "--idle-timeout=soon"}));
        // An idle time past what a timer counts in an int of milliseconds:
        // it must not wrap round to under a second (checked at the end).
        QVERIFY(StartRemoteIfAsked({"prog", "--remote=127.0.0.1:0", "--idle-timeout=4294968"}));
        const quint16 port = FollowingServer()->Port();
        auto open = [&] {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost(QHostAddress::LocalHost, port);
            return s;
        };
        auto ask = [](QTcpSocket& s, const QByteArray& bytes) {
            s.write(bytes);
            if (!QTest::qWaitFor([&] { return s.canReadLine(); }, 5000))
                return QByteArray("<none>");
            return s.readLine().trimmed();
        };
        auto a = open();
        QVERIFY(a->waitForConnected(5000));
        QCOMPARE(ask(*a, "*IDN?\r\n"), QByteArray("QV,QV4816X,SIMULATED,1.01.0006"));
        QCOMPARE(ask(*a, QByteArray(70000, 'A') + "\n*IDN?\n"), QByteArray("QV,QV4816X,SIMULATED,1.01.0006"));
        QCOMPARE(ask(*a, "SYST:ERR?\n"), QByteArray("-223,\"Too much data;line longer than 65536 bytes discarded\""));
        QCOMPARE(ask(*a, QByteArray("\x00\xff\x01*IDN\x00?\n", 10) + "SYST:ERR?\n"), QByteArray("-101,\"Invalid character\""));
        // Pipelined writes, then one query: everything before it has run.
        QByteArray many;
        for (int i = 0; i < 500; ++i)
            many += "DAC:CODE C," + QByteArray::number(i) + "\n";
        QCOMPARE(ask(*a, many + "*OPC?\n"), QByteArray("1"));
        QElapsedTimer aSilent;
        aSilent.start();

        std::vector<std::unique_ptr<QTcpSocket>> more;
        for (int i = 0; i < 7; ++i) {
            more.push_back(open());
            QVERIFY(more.back()->waitForConnected(5000));
        }
        QVERIFY(QTest::qWaitFor([&] { return FollowingServer()->TcpClients() == 8; }));
        auto ninth = open();
        QVERIFY(QTest::qWaitFor([&] { return ninth->state() == QAbstractSocket::UnconnectedState; }, 5000));
        QVERIFY(ninth->readAll().startsWith("-300,\"Device-specific error;connection refused"));
        // One client vanishes while it waits for a sweep; the others go on.
        more[0]->write("SWE:STAR;*OPC?\n");
        QVERIFY(QTest::qWaitFor([&] { return FollowingInstrument().SweepRunning(); }));
        more[0]->abort();
        QCOMPARE(ask(*more[1], "SWE:STAT?;*IDN?\n"), QByteArray("RUN;QV,QV4816X,SIMULATED,1.01.0006"));
        // Over a megabyte of lines held back behind a wait: all run once it ends.
        QByteArray heldBack = "*OPC?\n";
        for (int i = 0; i < 90000; ++i)
            heldBack += "DAC:CODE D,#H10\n";
        more[3]->write(heldBack + "DAC:CODE? D\n");
        QVERIFY(QTest::qWaitFor([&] { return more[3]->bytesToWrite() == 0; }, 20000));
        QTest::qWait(100);  // let the server reach the *OPC?
        QCOMPARE(ask(*more[2], "SWE:ABOR;*OPC?\n"), QByteArray("1"));
        QVERIFY(QTest::qWaitFor([&] { return more[3]->bytesAvailable() >= 5; }, 20000));
        QCOMPARE(more[3]->readLine().trimmed(), QByteArray("1"));
        QVERIFY(QTest::qWaitFor([&] { return more[3]->canReadLine(); }, 20000));
        QCOMPARE(more[3]->readLine().trimmed(), QByteArray("16"));
        QVERIFY(QTest::qWaitFor([&] { return FollowingServer()->TcpClients() == 7; }));
        // The title counts them, before the board's mark.
        QVERIFY(form->windowTitle().endsWith(" - remote: 7 clients (simulated board)"));
        more.clear();
        QTest::qWait(static_cast<int>(std::max<qint64>(0, 1000 - aSilent.elapsed())));
        QCOMPARE(ask(*a, "*IDN?\n"), QByteArray("QV,QV4816X,SIMULATED,1.01.0006"));
        a.reset();
        QVERIFY(QTest::qWaitFor([&] { return FollowingServer()->TcpClients() == 0; }));
        QVERIFY(form->windowTitle().endsWith("Output DAC (simulated board)"));
    }

    // One owner at a time, from the client's side: during its own sweep the
    // panel's writing controls and the test window's buttons are disabled,
    // every remote write is refused with the reason and sends nothing, queries
    // are answered; "Analyse Sweep" opens once it ends.
    void aRemoteSweepHoldsTheBoard()
    {
        TestForm& tests = TestForm::Open();
        session = Session{};
        QCOMPARE(Run("SWE:STAR;STAT?"), QString("RUN"));
        const QList<QWidget*> writing = {form->ComboRangeA, form->Toggle1, form->Toggle5, form->Toggle10,
                                         form->Check1,      form->Command3, form->Command4, form->Text1};
        for (QWidget* w : writing)
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(!form->Mnu16->isEnabled());
        QVERIFY(form->Command2->isEnabled() && form->Command14->isEnabled());  // reads stay
        QVERIFY(!tests.Command1->isEnabled() && !tests.Command3->isEnabled() && !tests.AnalyseSweep->isEnabled());
        for (const char* write : {"DAC:RANG A,BIP10", "POW:DAC A,OFF", "DAC:CODE A,5", "DAC:RES 12", "PINS:CLR OFF",
                                  "PINS:LDAC:PULS OFF", "*RST", "*TST?", "SWE:STAR"}) {
            QCOMPARE(RequestsOf([&] { QCOMPARE(Run(write), QString()); }).filter("dir=0").size(), 0);
            QCOMPARE(NextError(), QString("-221,\"Settings conflict;a sweep is running\""));
        }
        QCOMPARE(Run("*IDN?;*STB?;SWE:STAT?;SYST:BOARD?"), QString("QV,QV4816X,SIMULATED,1.01.0006;0;RUN;SIMULATED,only"));
        QCOMPARE(Run("SWE:ABOR;STAT?"), QString("IDLE"));
        for (QWidget* w : writing)
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(!form->Toggle12->isEnabled());  // still held high: "Pulse LDAC" is ticked
        QVERIFY(tests.Command1->isEnabled() && tests.Command3->isEnabled() && tests.AnalyseSweep->isEnabled());
        QCOMPARE(Run("DAC:RES?"), QString("16"));
    }

    // ... and from the test window's side: its sweep is the one SWE:STAT? and
    // SWE:PROG? report; a client's writes, sweep and self-test are refused
    // while it runs; SWE:ANAL? analyses it afterwards.
    void aTestWindowSweepHoldsTheBoard()
    {
        TestForm& tests = TestForm::Open();
        session = Session{};
        QStringList seen;
        int ticks = 0;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, [&] {
            if (++ticks < 30 || tests.StopRequested)
                return;
            seen << Run("SWE:STAT?") << Run("SWE:PROG?").section(',', 0, 0);
            for (const char* refused : {"DAC:RANG A,BIP10", "SWE:STAR", "*TST?", "SWE:ABOR"}) {
                Run(refused);
                seen << NextError();
            }
            seen << Run("SWE:DATA? A,0,1");
            seen << NextError();
            seen << Run("STAT:OPER:COND?");  // the test window's sweep counts as one
            tests.StopRequested = 1;
        });
        poll.start();
        Click(tests.Command1);
        poll.stop();
        QCOMPARE(seen.size(), 9);
        QCOMPARE(seen[8], QString("8"));
        QCOMPARE(seen[0], QString("RUN"));
        QVERIFY(seen[1].toInt() > 0);
        QCOMPARE(seen[2], QString("-221,\"Settings conflict;a sweep is running\""));
        QCOMPARE(seen[3], seen[2]);
        QCOMPARE(seen[4], seen[2]);
        QCOMPARE(seen[5], QString("-221,\"Settings conflict;a sweep is running in the test window\""));
        QCOMPARE(seen[6], QString());
        QCOMPARE(seen[7], seen[2]);
        QCOMPARE(Run("SWE:STAT?"), QString("IDLE"));
        if (WriteFileForm::Exists())
            WriteFileForm::Open().close();
        const QJsonArray all = QJsonDocument::fromJson(Run("SWE:ANAL?").toUtf8()).object()["channels"].toArray();
        QCOMPARE(all.size(), 4);
        // A panel change since the client last asked shows once.
        Run("SYST:PAN:CHAN?");
        QCOMPARE(Run("SYST:PAN:CHAN?"), QString("0"));
        Run("DAC:CODE A,7");  // a client's own change is not the panel's
        QCOMPARE(Run("SYST:PAN:CHAN?"), QString("0"));
        Run("STAT:OPER?");
        Click(form->Toggle5);
        QCOMPARE(Run("SYST:PAN:CHAN?;SYST:PAN:CHAN?"), QString("1;0"));
        QCOMPARE(Run(":STAT:OPER?;:STAT:OPER?"), QString("1024;0"));  // OPERation bit 10 latched it
    }

    // SWEep:SAVE writes only inside the data folder: hostile names get -257
    // with the reason and write nothing anywhere.
    void sweepFilesStayInsideTheDataFolder()
    {
        QTemporaryDir top;
        const QString data = top.filePath("data"), outside = top.filePath("outside");
        QVERIFY(QDir().mkpath(data + "/sub") && QDir().mkpath(outside));
        QVERIFY(QFile::link(outside, data + "/out"));
        QVERIFY(QFile::link(outside + "/target.dat", data + "/leads-out.dat"));
        QVERIFY(QFile::link(data + "/sub/kept.dat", data + "/stays-in.dat"));
        QVERIFY(QFile::link(outside + "/c.dat.json", data + "/c.dat.json"));  // the companion's name leads out
        QFile kept(data + "/sub/kept.dat");
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.close();
        QVERIFY(mkfifo((data + "/pipe").toLocal8Bit().constData(), 0600) == 0);
        remote::SetDataFolder(data.toStdString());
        session = Session{};
        const struct {
            QString name;
            QString why;  // empty: written
        } rows[] = {
            {"../outside/a.dat", "is not allowed"},
            {"sub/../../outside/a.dat", "is not allowed"},
            {outside + "/a.dat", "is outside the data folder"},
            {"/etc/qv-test.dat", "is outside the data folder"},
            {"out/a.dat", "is outside the data folder"},
            {"leads-out.dat", "is a symbolic link that leads out"},
            {"pipe", "is not a plain file"},
            {"/dev/null", "is outside the data folder"},
            {"sub", "is not a plain file"},
            {"missing/a.dat", "does not exist"},
            {"sub/", "ends in a folder"},
            {"a.dat", ""},
            {data + "/sub/b.dat", ""},
            {"stays-in.dat", ""},
            {"c.dat", ""},
        };
        for (const auto& row : rows) {
            QCOMPARE(Run("SWE:SAVE \"" + row.name + "\""), QString());
            const QString error = NextError();
            if (row.why.isEmpty())
                QVERIFY2(error == "0,\"No error\"", qPrintable(row.name + ": " + error));
            else
                QVERIFY2(error.startsWith("-257,") && error.contains(row.why), qPrintable(row.name + ": " + error));
        }
        QCOMPARE(QDir(outside).entryList(QDir::Files), QStringList());
        QVERIFY(QFileInfo(data + "/a.dat").size() > 0 && QFileInfo(data + "/sub/b.dat").size() > 0);
        QVERIFY(QFileInfo(data + "/a.dat.json").size() > 0 && QFileInfo(data + "/c.dat").size() > 0);
        QVERIFY(QFileInfo(data + "/pipe").isFile() == false && !QFile::exists("/etc/qv-test.dat"));
    }
};

QTEST_MAIN(RemotePanel)
#include "test_remote.moc"
