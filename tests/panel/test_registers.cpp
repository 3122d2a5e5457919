// Register read-back and "Read all Registers and Update Display", the output
// range, control and power control registers, and the output voltage
// measurement, driven through the real widgets on the simulated board.
#include "board/adc.h"
#include "panelcheck.h"
#include "platform/led.h"
#include "platform/toggle.h"

#include <QAction>
#include <QPushButton>
#include <array>

using namespace panelcheck;

namespace {
const QString kRanges[6] = {"+5V", "+10V", "+10.8V", "\u00B15V", "\u00B110V", "\u00B110.8V"};

// Notes each paint of a numeric display: its text and how many requests had
// gone out by then.
class PaintLog : public QObject {
public:
    struct Paint {
        int display;
        QString text;
        qsizetype requests;
    };
    explicit PaintLog(const std::vector<NumLED*>& displays) : displays_(displays)
    {
        for (NumLED* d : displays_)
            d->installEventFilter(this);
    }
    ~PaintLog() override
    {
        for (NumLED* d : displays_)
            d->removeEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            for (size_t i = 0; i < displays_.size(); ++i)
                if (watched == displays_[i])
                    paints.push_back({int(i), displays_[i]->value(), qsizetype(harness::Requests().size())});
        return false;
    }
    std::vector<Paint> paints;

private:
    std::vector<NumLED*> displays_;
};
}  // namespace

class Registers : public QObject {
    Q_OBJECT
    MainForm* form = nullptr;

    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    static void turn(Toggle* t, bool on)
    {
        if (t->value() != on)
            click(t);
        QCOMPARE(t->value(), on);
    }
    void setResolution(int bits) { (bits == 16 ? form->Mnu16 : bits == 14 ? form->Mnu14 : form->Mnu12)->trigger(); }
    // Writes a 16-bit data field into a DAC register through the channel's
    // third code field, at 16 bits.
    void writeDac(int channel, int data)
    {
        setResolution(16);
        if (State.Coding != "Hex")
            Pick(form->ComboCoding, "Hexadecimal Coding");
        Enter(form->CodeFields()[size_t(channel * 4 + 2)], QString::number(data, 16));
        QCOMPARE(State.DataWord, data);
    }
    QPushButton* dacRead(int channel) const
    {
        return std::array{form->Command7, form->Command8, form->Command9, form->Command10}[size_t(channel)];
    }
    QComboBox* rangeBox(int channel) const
    {
        return std::array{form->ComboRangeA, form->ComboRangeB, form->ComboRangeC, form->ComboRangeD}[size_t(channel)];
    }
    QStringList measure()
    {
        click(form->Command14);
        return {form->NumLED1->value(), form->NumLED2->value(), form->NumLED3->value(), form->NumLED4->value()};
    }
    static void checkReadOf(const QStringList& sent, int readValue)
    {
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent[0], Out(221, readValue, 0));
        QVERIFY2(IsClockOut(sent[1]), qPrintable(sent[1]));
    }
    static void checkHeader(int readFlag, int reg, int address)
    {
        QCOMPARE(State.ReadFlag, int16_t(readFlag));
        QCOMPARE(State.RegisterSelect, int16_t(reg));
        QCOMPARE(State.ChannelAddress, int16_t(address));
    }

private slots:
    void initTestCase()
    {
        harness::Setup(true);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
        QVERIFY(QTest::qWaitForWindowExposed(form));  // so that displays paint
    }

    void readAllReadsEveryRegisterInOrder()
    {
        const int codes[4] = {0x1234, 0x8000, 0x0005, 0xABCD};
        for (int ch = 0; ch < 4; ++ch)
            writeDac(ch, codes[ch]);
        Pick(form->ComboRangeC, kRanges[4]);
        turn(form->Toggle3, true);
        turn(form->Toggle7, true);
        // The panel forgets, without an event.
        form->ComboRangeC->setCurrentIndex(0);
        form->Toggle3->setValue(false);
        form->Toggle7->setValue(false);
        for (QLabel* l : form->ReadBackLabels())
            l->setText("0000");

        const QStringList sent = RequestsOf([&] { click(form->Command1); });
        const int reads[10] = {0x80, 0x81, 0x82, 0x83, 0x90, 0x99, 0x88, 0x89, 0x8A, 0x8B};
        QCOMPARE(sent.size(), 20);
        for (int i = 0; i < 10; ++i)
            checkReadOf(sent.mid(2 * i, 2), reads[i]);
        QCOMPARE(ShownImage(*form), 0x800000);
        QCOMPARE(CodeTexts(*form).mid(16), QStringList({"1234", "8000", "0005", "ABCD"}));
        QCOMPARE(form->ComboRangeC->currentText(), kRanges[4]);
        QVERIFY(form->Toggle3->value());
        QVERIFY(form->Toggle7->value());
        QCOMPARE(State.ControlData & 0xF, 0x2);
        QCOMPARE(State.PowerData & 0x1F, 0x4);
        checkHeader(1, 0, 3);
    }

    void readBackShiftsToTheResolution()
    {
        struct Case {
            int bits;
            const char* coding;
            int channel;
            int reg;
            const char* label;
            int code;
        };
        const Case cases[] = {
            {16, "Hexadecimal Coding", 1, 0x8000, "8000", 0x8000}, {16, "Hexadecimal Coding", 2, 0x0005, "0005", 5},
            {12, "Hexadecimal Coding", 0, 0xABC0, "ABC", 0xABC}, {12, "Decimal Coding", 0, 0xABC0, "2748", 0xABC},
            {12, "Hexadecimal Coding", 1, 0x0018, "002", 2},     {12, "Hexadecimal Coding", 1, 0x0028, "002", 2},
            {12, "Hexadecimal Coding", 1, 0x0038, "004", 4},     {14, "Hexadecimal Coding", 3, 0x8001, "2000", 0x2000},
            {14, "Hexadecimal Coding", 3, 0xFFFC, "3FFF", 0x3FFF}, {14, "Decimal Coding", 3, 0xFFFC, "16383", 0x3FFF},
            {16, "Decimal Coding", 3, 0xFFFF, "65535", 0xFFFF},
        };
        for (const Case& c : cases) {
            writeDac(c.channel, c.reg);
            setResolution(c.bits);
            Pick(form->ComboCoding, c.coding);
            const QStringList sent = RequestsOf([&] { click(dacRead(c.channel)); });
            checkReadOf(sent, 0x80 + c.channel);
            QCOMPARE(form->ReadBackLabels()[size_t(c.channel)]->text(), QString(c.label));
            // The read frame with the right-justified code as its data.
            QCOMPARE(ShownImage(*form), 0x800000 + c.channel * 0x10000 + c.code);
            QCOMPARE(State.DataWord, c.code);
            checkHeader(1, 0, c.channel);
        }
        setResolution(16);
        Pick(form->ComboCoding, "Hexadecimal Coding");
    }

    void rangePickSendsItsCode()
    {
        QCOMPARE(RequestsOf([&] { Pick(form->ComboRangeC, kRanges[4]); }), QStringList{Out(221, 0x0A, 4)});
        QCOMPARE(ShownImage(*form), 0x0A0004);
        checkHeader(0, 1, 2);
        QCOMPARE(RequestsOf([&] { Pick(form->ComboRangeA, kRanges[0]); }), QStringList{Out(221, 0x08, 0)});
        QCOMPARE(ShownImage(*form), 0x080000);
        for (int code = 0; code < 6; ++code) {
            QCOMPARE(RequestsOf([&] { Pick(form->ComboRangeB, kRanges[code]); }), QStringList{Out(221, 0x09, code)});
            QCOMPARE(State.RangeCode, int16_t(code));
        }
        // A text that names no range sends the code last chosen in any box.
        Pick(form->ComboRangeA, kRanges[2]);
        form->ComboRangeB->setEditText("\u00B110 V");
        QCOMPARE(RequestsOf([&] { form->ComboRangeB_Click(); }), QStringList{Out(221, 0x09, 2)});
    }

    void rangeReadSetsTheBoxWithoutSending()
    {
        Pick(form->ComboRangeD, kRanges[3]);
        Pick(form->ComboRangeA, kRanges[1]);
        form->ComboRangeD->setCurrentIndex(0);

        checkReadOf(RequestsOf([&] { click(form->Command11); }), 0x8B);
        QCOMPARE(form->ComboRangeD->currentText(), kRanges[3]);
        QCOMPARE(State.RangeCode, int16_t(1));
        QCOMPARE(State.DataWord, 3);
        QCOMPARE(ShownImage(*form), 0x8B0003);
        checkHeader(1, 1, 3);
        // The keyboard goes on from the range read.
        QCOMPARE(RequestsOf([&] { QTest::keyClick(form->ComboRangeD, Qt::Key_Down); }),
                 QStringList{Out(221, 0x0B, 4)});
        QCOMPARE(form->ComboRangeD->currentText(), kRanges[4]);
        form->ComboRangeD->setEditText("typed");
        checkReadOf(RequestsOf([&] { click(form->Command11); }), 0x8B);
        QCOMPARE(form->ComboRangeD->currentText(), kRanges[4]);

        // A code that names no range leaves the box as it was.
        int16_t address = 3, reg = 1;
        int32_t six = 6;
        State.ReadFlag = 0;
        WriteFrame(address, reg, six);
        checkReadOf(RequestsOf([&] { click(form->Command11); }), 0x8B);
        QCOMPARE(form->ComboRangeD->currentText(), kRanges[4]);
        QCOMPARE(ShownImage(*form), 0x8B0006);
        Pick(form->ComboRangeD, kRanges[0]);
    }

    void controlSwitchesSendAllBitsAndReadSetsThem()
    {
        for (Toggle* t : {form->Toggle1, form->Toggle2, form->Toggle3, form->Toggle4})
            turn(t, false);
        State.ControlData = 0;
        const std::pair<Toggle*, int> flips[] = {{form->Toggle2, 0x4}, {form->Toggle1, 0xC}, {form->Toggle4, 0xD},
                                                 {form->Toggle2, 0x9}, {form->Toggle4, 0x8}, {form->Toggle3, 0xA}};
        for (const auto& [toggle, data] : flips) {
            QCOMPARE(RequestsOf([&] { click(toggle); }), QStringList{Out(221, 0x19, data)});
            QCOMPARE(ShownImage(*form), 0x190000 + data);
            checkHeader(0, 3, 1);
        }
        QCOMPARE(form->Toggle4->text(), QString("SDO ENABLED"));

        for (Toggle* t : {form->Toggle1, form->Toggle2, form->Toggle3, form->Toggle4})
            t->setValue(false);
        State.ControlData = 0;
        checkReadOf(RequestsOf([&] { click(form->Command2); }), 0x99);
        QCOMPARE(State.ControlData, 0xA);
        QVERIFY(form->Toggle1->value() && !form->Toggle2->value() && form->Toggle3->value() && !form->Toggle4->value());
        QCOMPARE(ShownImage(*form), 0x99000A);
        checkHeader(1, 3, 1);

        // LOAD and CLEAR are write frames that leave display, bits and toggles.
        QCOMPARE(RequestsOf([&] { click(form->Command3); }), QStringList{Out(221, 0x1D, 0)});
        QCOMPARE(RequestsOf([&] { click(form->Command4); }), QStringList{Out(221, 0x1C, 0)});
        QCOMPARE(ShownImage(*form), 0x99000A);
        QCOMPARE(State.ControlData, 0xA);
        QVERIFY(form->Toggle1->value() && form->Toggle3->value());

        // Bits beyond the four switches, as a read may leave them, go back too.
        State.ControlData |= 0x30;
        QCOMPARE(RequestsOf([&] { click(form->Toggle2); }), QStringList{Out(221, 0x19, 0x3E)});
        turn(form->Toggle2, false);
    }

    void powerSwitchesSendAllBitsAndReadSetsSwitchesAndLamps()
    {
        Toggle* const toggles[5] = {form->Toggle5, form->Toggle6, form->Toggle7, form->Toggle8, form->Toggle9};
        for (Toggle* t : toggles)
            turn(t, false);
        State.PowerData = 0;
        QCOMPARE(RequestsOf([&] { click(form->Toggle9); }), QStringList{Out(221, 0x10, 0x10)});
        QCOMPARE(ShownImage(*form), 0x100010);
        checkHeader(0, 2, 0);
        QCOMPARE(RequestsOf([&] { click(form->Toggle5); }), QStringList{Out(221, 0x10, 0x11)});
        // Bit 6 and the status bits of the last read go back with every switch.
        State.PowerData |= 0x0040 | 0x0400;
        QCOMPARE(RequestsOf([&] { click(form->Toggle6); }), QStringList{Out(221, 0x10, 0x453)});
        QCOMPARE(RequestsOf([&] { click(form->Toggle6); }), QStringList{Out(221, 0x10, 0x451)});

        for (Toggle* t : toggles)
            t->setValue(false);
        State.PowerData = 0;
        checkReadOf(RequestsOf([&] { click(form->Command6); }), 0x90);
        QCOMPARE(State.PowerData, 0x11);
        QCOMPARE(State.DataWord, 0x11);
        for (int b = 0; b < 5; ++b)
            QCOMPARE(toggles[b]->value(), b == 0 || b == 4);
        for (LED* l : {form->LED1, form->LED2, form->LED3, form->LED4, form->LED5})
            QCOMPARE(l->lit(), 0);
        QCOMPARE(ShownImage(*form), 0x900011);
        checkHeader(1, 2, 0);
    }

    void measurementFillsEachDisplayBeforeTheNextChannel()
    {
        for (Toggle* t : {form->Toggle5, form->Toggle6, form->Toggle7, form->Toggle8, form->Toggle9})
            turn(t, true);
        const int codes[4] = {0x8000, 0x0000, 0x0008, 0x7FF8};  // ADC codes 4096, 0, 1, 4095
        for (int ch = 0; ch < 4; ++ch) {
            Pick(rangeBox(ch), kRanges[4]);
            writeDac(ch, codes[ch]);
        }
        const int image = ShownImage(*form);
        const int32_t registerData = State.RegisterData;

        PaintLog log({form->NumLED1, form->NumLED2, form->NumLED3, form->NumLED4});
        const QStringList sent = RequestsOf([&] { click(form->Command14); });
        const QStringList expected{"0.0000", "-10.0000", "-9.9976", "-0.0024"};
        QCOMPARE(sent.size(), 8);
        for (int ch = 0; ch < 4; ++ch) {
            QVERIFY(sent[2 * ch].startsWith(QString("request code=218 dir=1 value=%1 index=0x0000 length=2 -> ")
                                                .arg(Hex4(AdcChannelCommand(ch)))));
            QVERIFY(sent[2 * ch + 1].startsWith("request code=218 dir=1 value=0x0000 index=0x0000 length=2 -> "));
            bool shownInTime = false;
            for (const auto& p : log.paints)
                shownInTime = shownInTime || (p.display == ch && p.text == expected[ch] && p.requests == 2 * (ch + 1));
            QVERIFY2(shownInTime, qPrintable(expected[ch]));
        }
        QCOMPARE(QStringList({form->NumLED1->value(), form->NumLED2->value(), form->NumLED3->value(),
                              form->NumLED4->value()}),
                 expected);
        QCOMPARE(State.AdcCommand, 0);
        QCOMPARE(ShownImage(*form), image);
        QCOMPARE(State.RegisterData, registerData);

        // Full scale on +10 V is the most the fixed scale shows; a powered-down
        // channel and 0 V on a unipolar range read near zero.
        Pick(form->ComboRangeA, kRanges[1]);
        writeDac(0, 0xFFFF);
        turn(form->Toggle6, false);
        Pick(form->ComboRangeD, kRanges[0]);
        writeDac(3, 0);
        QCOMPARE(measure(), QStringList({"9.9976", "0.0000", "-9.9976", "0.0000"}));
    }
};

QTEST_MAIN(Registers)
#include "test_registers.moc"
