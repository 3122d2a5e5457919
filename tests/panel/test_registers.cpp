// The register panel driven through its real widgets on the simulated board:
// code entry, the number coding switch and the resolution menu; register
// read-back and "Read all Registers and Update Display"; the output range,
// control and power control registers; the output voltage measurement.
#include "board/adc.h"
#include "panelcheck.h"
#include "controls/toggle.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>
#include <vector>

using namespace panelcheck;

namespace {
// A text entered, the text the field then shows, and the data field sent
// (-1: the error path).
struct Entry { const char* text; const char* shown; int index; };

// Records what BitsDisplay shows as each frame goes out: the frame primitive
// asks for the pulse-LDAC setting once per frame, just before it sends.
class FrameWatch : public PulseLdacSetting {
public:
    explicit FrameWatch(MainForm& form) : form_(form) { AttachPanel(this, &form_); }
    ~FrameWatch() override { AttachPanel(&form_, &form_); }
    bool PulseLdacTicked() const override
    {
        shown.push_back(ShownImage(form_));
        return form_.PulseLdacTicked();
    }
    mutable std::vector<int> shown;

private:
    MainForm& form_;
};

const QString kRanges[6] = {"+5V", "+10V", "+10.8V", "\u00B15V", "\u00B110V", "\u00B110.8V"};

// Notes each paint of a display it watches as "name text requests-sent-by-then".
class PaintLog : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            paints << QString("%1 %2 %3").arg(watched->objectName(), static_cast<NumLED*>(watched)->value())
                                           .arg(harness::Requests().size());
        return false;
    }
    QStringList paints;
};
}  // namespace

class RegisterPanel : public QObject {
    Q_OBJECT
    MainForm* form = nullptr;

    void setCoding(bool hex) { Pick(form->ComboCoding, hex ? "Hexadecimal Coding" : "Decimal Coding"); }

    // Runs the entries through one field: traffic, rewritten text, the image
    // shown before the frame goes out, State, and the error path (field
    // cleared and focused, nothing sent or shown).
    void checkEntries(CodeField* field, int address, const std::vector<Entry>& entries, bool byEnter = false)
    {
        for (const Entry& e : entries) {
            form->Text11->setFocus();
            ShowFrameBits(0x5A5A5A);
            State.ReadFlag = 1;  // as a read-back leaves it
            FrameWatch watch(*form);
            field->setText(e.text);
            const QStringList sent = RequestsOf([&] {
                byEnter ? QTest::keyClick(field, Qt::Key_Return) : QTest::mouseClick(field, Qt::LeftButton);
            });
            const bool ok = e.index >= 0;
            const int image = ok ? address * 0x10000 + e.index : 0x5A5A5A;
            QCOMPARE(field->text(), QString(e.shown));
            QCOMPARE(sent, ok ? QStringList{Out(217, address, e.index)} : QStringList());
            QCOMPARE(watch.shown, ok ? std::vector<int>{image} : std::vector<int>());
            QCOMPARE(ShownImage(*form), image);
            QCOMPARE(Header(), address);
            QVERIFY2(ok || form->focusWidget() == field, e.text);
            if (ok)  // the arguments of the frame primitive stay as they were
                QVERIFY(State.RegisterData == image && State.DataWord == e.index);
        }
    }

    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // Writes a 16-bit data field into a DAC register through the channel's
    // third code field.
    void writeDac(int channel, int data)
    {
        SetResolution(*form, 16);
        setCoding(true);
        Enter(form->CodeFields()[size_t(channel * 4 + 2)], QString::number(data, 16));
    }

private slots:
    void initTestCase()
    {
        harness::Setup(true);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
        QVERIFY(QTest::qWaitForWindowExposed(form));  // so that displays paint
    }

    // Each field writes its own text to its own channel at every click (also
    // into the field that has the focus by then) and at Return or Enter;
    // other keys only edit. Distinct texts show a handler that reads a neighbour.
    void clickAndEnterWriteOtherKeysOnlyEdit()
    {
        for (size_t i = 0; i < 16; ++i) {
            CodeField* field = form->CodeFields()[i];
            const int ch = int(i / 4), v = int(i) + 1;
            field->setText(QString::number(v, 16));
            for (int twice = 0; twice < 2; ++twice)
                QCOMPARE(RequestsOf([&] { QTest::mouseClick(field, Qt::LeftButton); }), QStringList{Out(217, ch, v)});
            field->selectAll();
            QCOMPARE(RequestsOf([&] { QTest::keyClicks(field, QString::number(v + 16, 16) + "x\b"); }), QStringList());
            const Qt::Key enter = i % 2 ? Qt::Key_Enter : Qt::Key_Return;
            QCOMPARE(RequestsOf([&] { QTest::keyClick(field, enter); }), QStringList{Out(217, ch, v + 16)});
        }
    }

    void entryClampsRewritesOrClears()
    {
        checkEntries(form->Text22, 3,
                     {{"fff", "0FFF", 0x0FFF}, {"1FFFF", "FFFF", 0xFFFF}, {"FFFFFFFF", "0000", 0},
                      {"", "0000", 0}, {"12G4", "", -1}, {" 12", "", -1}, {"123456789", "", -1}},
                     true);
        setCoding(false);
        checkEntries(form->Text17, 2,
                     {{"12.5", "12", 12}, {"13.5", "14", 14}, {"-7", "0", 0}, {"70000", "65535", 65535},
                      {"42volts", "42", 42}, {"&H1F", "0", 0}, {"2147483647.5", "", -1}});
        setCoding(true);
    }

    // A resolution change only changes how later entries and read-backs treat
    // codes: no traffic, no text or bit rewritten, one menu item checked.
    void resolutionChangeRewritesNothingAndEntriesAreLeftJustified()
    {
        const QStringList texts = CodeTexts(*form);
        const int image = ShownImage(*form);
        for (int bits : {12, 14, 14, 16}) {
            QCOMPARE(RequestsOf([&] { SetResolution(*form, bits); }), QStringList());
            QCOMPARE(QList<bool>({form->Mnu16->isChecked(), form->Mnu14->isChecked(), form->Mnu12->isChecked()}),
                     QList<bool>({bits == 16, bits == 14, bits == 12}));
            QCOMPARE(CodeTexts(*form), texts);
            QCOMPARE(ShownImage(*form), image);
        }
        SetResolution(*form, 12);
        checkEntries(form->Text13, 0, {{"1234", "FFF", 0xFFF0}, {"5", "005", 0x0050}});
        SetResolution(*form, 14);
        checkEntries(form->Text13, 0, {{"1", "0001", 0x0004}, {"FFFF", "3FFF", 0xFFFC}});
        setCoding(false);
        checkEntries(form->Text13, 0, {{"16384", "16383", 0xFFFC}, {"2.5", "2", 0x0008}});
        setCoding(true);
        SetResolution(*form, 16);
    }

    // All twenty texts convert, both ways, without clamping and without
    // traffic; what cannot be read converts as 0.
    void codingSwitchConvertsEveryTextWithoutTraffic()
    {
        auto setTexts = [&](const QStringList& t) {
            for (size_t i = 0; i < 20; ++i)
                i < 16 ? form->CodeFields()[i]->setText(t[int(i)]) : form->ReadBackLabels()[i - 16]->setText(t[int(i)]);
        };
        setTexts({"FFFF", "C000", "8000", "0", "FFFFFFFF", "1FFFF", "fffffffb", "0000", "", "12G",  //
                  "123456789", "abc", "7FFFFFFF", "80000000", "00ABC0", " 10 ", "0000", "ABC", "", "3FFF"});
        const int image = ShownImage(*form);
        // A pick with the keyboard, as the user makes it; picking the coding
        // in force again converts nothing.
        QCOMPARE(RequestsOf([&] { QTest::keyClick(form->ComboCoding, Qt::Key_Down); setCoding(false); }),
                 QStringList());
        QCOMPARE(CodeTexts(*form), QStringList({"65535", "49152", "32768", "0", "-1", "131071", "-5", "0", "0", "0",
                                                "0", "2748", "2147483647", "-2147483648", "43968", "0", "0", "2748",
                                                "0", "16383"}));
        QCOMPARE(ShownImage(*form), image);

        SetResolution(*form, 12);
        setTexts({"65535", "0", "-5", "12.5", "70000", "99999999999", "", "abc", "1", "4095",  //
                  "13.5", " 4 2 ", "-1", "1e3", "2147483647", "-2147483648", "2748", "0", "-0.4", "16383"});
        QCOMPARE(RequestsOf([&] { setCoding(true); setCoding(true); }), QStringList());
        QCOMPARE(CodeTexts(*form), QStringList({"FFFF", "000", "FFFFFFFB", "00C", "11170", "000", "000", "000", "001",
                                                "FFF", "00E", "02A", "FFFFFFFF", "3E8", "7FFFFFFF", "80000000", "ABC",
                                                "000", "000", "3FFF"}));
        SetResolution(*form, 16);
    }

    // At 12 and 14 bits a read-back shifts back with halves to the even
    // neighbour; the frame image carries the shifted code.
    void readBackShiftsToTheResolution()
    {
        struct Case { int bits; bool hex; int channel, reg; const char* label; int code; };
        const Case cases[] = {{12, false, 0, 0xABC0, "2748", 0xABC}, {12, true, 1, 0x0018, "002", 2},
                              {12, true, 2, 0x0028, "002", 2},       {14, true, 3, 0x8001, "2000", 0x2000},
                              {14, false, 3, 0xFFFC, "16383", 0x3FFF}};
        QPushButton* const reads[4] = {form->Command7, form->Command8, form->Command9, form->Command10};
        for (const Case& c : cases) {
            writeDac(c.channel, c.reg);
            SetResolution(*form, c.bits);
            setCoding(c.hex);
            CheckReadOf(RequestsOf([&] { click(reads[c.channel]); }), 0x80 + c.channel);
            QCOMPARE(form->ReadBackLabels()[size_t(c.channel)]->text(), QString(c.label));
            CheckImage(*form, 0x800000 + c.channel * 0x10000 + c.code);
        }
    }

    void rangePickSendsItsCodeAndReadSetsTheBox()
    {
        {
            FrameWatch watch(*form);  // the image shows before the frame goes out
            Pick(form->ComboRangeC, kRanges[4]);
            QCOMPARE(watch.shown, std::vector<int>{0x0A0004});
        }
        for (int code = 0; code < 6; ++code)
            QCOMPARE(RequestsOf([&] { Pick(form->ComboRangeB, kRanges[code]); }), QStringList{Out(221, 0x09, code)});
        CheckImage(*form, 0x090005);
        // A text that names no range sends the code last chosen in any box.
        Pick(form->ComboRangeA, kRanges[2]);
        form->ComboRangeB->setEditText("\u00B110 V");
        QCOMPARE(RequestsOf([&] { form->ComboRangeB_Click(); }), QStringList{Out(221, 0x09, 2)});

        // The read sets the box quietly; the keyboard goes on from there.
        Pick(form->ComboRangeD, kRanges[3]);
        form->ComboRangeD->setCurrentIndex(0);
        CheckReadOf(RequestsOf([&] { click(form->Command11); }), 0x8B);
        QCOMPARE(form->ComboRangeD->currentText(), kRanges[3]);
        CheckImage(*form, 0x8B0003);
        QCOMPARE(RequestsOf([&] { QTest::keyClick(form->ComboRangeD, Qt::Key_Down); }), QStringList{Out(221, 0x0B, 4)});

        // A code that names no range leaves the box as it was.
        int16_t address = 3, reg = 1;
        int32_t six = 6;
        State.ReadFlag = 0;
        WriteFrame(address, reg, six);
        CheckReadOf(RequestsOf([&] { click(form->Command11); }), 0x8B);
        QCOMPARE(form->ComboRangeD->currentText(), kRanges[4]);
        CheckImage(*form, 0x8B0006);
    }

    // Each switch sends the whole register, bits beyond the switches (and
    // the status bits of the last read) included; a read sets the switches
    // quietly. LOAD and CLEAR are write frames that leave display and bits.
    void controlAndPowerSwitchesSendAllBitsAndReadSetsThem()
    {
        FrameWatch watch(*form);  // each write shows its image before the frame goes out
        const QList<Toggle*> control{form->Toggle1, form->Toggle2, form->Toggle3, form->Toggle4},
            power{form->Toggle5, form->Toggle6, form->Toggle7, form->Toggle8, form->Toggle9};
        auto forget = [](const QList<Toggle*>& toggles, int32_t& data) {
            for (Toggle* t : toggles)
                t->setValue(false);  // quietly, as if the panel had forgotten them
            data = 0;
        };
        forget(control, State.ControlData);
        for (const auto& [toggle, data] : {std::pair{1, 0x4}, {0, 0xC}, {3, 0xD}, {1, 0x9}, {2, 0xB}}) {
            QCOMPARE(RequestsOf([&] { click(control[toggle]); }), QStringList{Out(221, 0x19, data)});
            CheckImage(*form, 0x190000 + data);
            QCOMPARE(watch.shown.back(), 0x190000 + data);
        }
        forget(control, State.ControlData);
        CheckReadOf(RequestsOf([&] { click(form->Command2); }), 0x99);
        QVERIFY(control[0]->value() && !control[1]->value() && control[2]->value() && control[3]->value());
        CheckImage(*form, 0x99000B);
        QCOMPARE(RequestsOf([&] { click(form->Command3); }), QStringList{Out(221, 0x1D, 0)});
        QCOMPARE(RequestsOf([&] { click(form->Command4); }), QStringList{Out(221, 0x1C, 0)});
        QCOMPARE(ShownImage(*form), 0x99000B);
        State.ControlData |= 0x30;
        QCOMPARE(RequestsOf([&] { click(control[1]); }), QStringList{Out(221, 0x19, 0x3F)});

        forget(power, State.PowerData);
        QCOMPARE(RequestsOf([&] { click(power[4]); }), QStringList{Out(221, 0x10, 0x10)});
        QCOMPARE(RequestsOf([&] { click(power[0]); }), QStringList{Out(221, 0x10, 0x11)});
        State.PowerData |= 0x0040 | 0x0400;
        QCOMPARE(RequestsOf([&] { click(power[1]); }), QStringList{Out(221, 0x10, 0x453)});
        QCOMPARE(RequestsOf([&] { click(power[1]); }), QStringList{Out(221, 0x10, 0x451)});
        CheckImage(*form, 0x100451);
        QCOMPARE(watch.shown.back(), 0x100451);
        forget(power, State.PowerData);
        CheckReadOf(RequestsOf([&] { click(form->Command6); }), 0x90);
        QVERIFY(State.PowerData == 0x11 && State.DataWord == 0x11);
        CheckImage(*form, 0x900011);
        for (int b = 0; b < 5; ++b)
            QCOMPARE(power[b]->value(), b == 0 || b == 4);
    }

    // Typing into a range box, leaving it, or turning the wheel over it picks
    // nothing: only the read goes out.
    void rangeBoxesSendOnlyOnAPick()
    {
        form->ComboRangeA->lineEdit()->setFocus();
        form->ComboRangeA->lineEdit()->clear();
        QTest::keyClicks(form->ComboRangeA->lineEdit(), "+10");
        const QStringList sent = RequestsOf([&] {
            click(form->Command5);
            QCoreApplication::processEvents();
        });
        CheckReadOf(sent, 0x88);
        QWheelEvent wheel(QPointF(5, 5), form->ComboRangeD->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCOMPARE(RequestsOf([&] { QApplication::sendEvent(form->ComboRangeD, &wheel); }), QStringList());
    }

    void measurementFillsEachDisplayBeforeTheNextChannel()
    {
        for (Toggle* t : {form->Toggle5, form->Toggle6, form->Toggle7, form->Toggle8, form->Toggle9})
            if (!t->value())
                click(t);
        const int codes[4] = {0x8000, 0x0000, 0x0008, 0x7FF8};  // ADC codes 4096, 0, 1, 4095 on ±10 V
        for (int ch = 0; ch < 4; ++ch) {
            Pick(std::array{form->ComboRangeA, form->ComboRangeB, form->ComboRangeC, form->ComboRangeD}[size_t(ch)],
                 kRanges[4]);
            writeDac(ch, codes[ch]);
        }
        const int image = ShownImage(*form);
        PaintLog log;
        for (NumLED* d : {form->NumLED1, form->NumLED2, form->NumLED3, form->NumLED4})
            d->installEventFilter(&log);
        const QStringList sent = RequestsOf([&] { click(form->Command14); });
        const QStringList expected{"0.0000", "-10.0000", "-9.9976", "-0.0024"};
        QCOMPARE(sent.size(), 8);
        for (int ch = 0; ch < 4; ++ch) {
            QVERIFY(sent[2 * ch].startsWith(QString("request code=218 dir=1 value=%1 index=0x0000 length=2 -> ")
                                                .arg(Hex4(AdcChannelCommand(ch)))));
            QVERIFY(sent[2 * ch + 1].startsWith("request code=218 dir=1 value=0x0000 index=0x0000 length=2 -> "));
            // Shown on screen before the next channel's requests go out.
            QVERIFY2(log.paints.contains(QString("NumLED%1 %2 %3").arg(ch + 1).arg(expected[ch]).arg(2 * (ch + 1))),
                     qPrintable(log.paints.join(" | ")));
        }
        QCOMPARE(ShownImage(*form), image);
    }
};

QTEST_MAIN(RegisterPanel)
#include "test_registers.moc"
