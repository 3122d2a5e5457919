// Code entry, the number coding switch and the resolution menu of the
// register panel, driven through the real widgets on the simulated board.
#include "panelcheck.h"

#include <QAction>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace panelcheck;

namespace {
struct Entry {
    const char* text;
    const char* shown;  // "" with index -1: the error path
    int index;          // the data field sent
};
}  // namespace

class CodeEntry : public QObject {
    Q_OBJECT
    MainForm* form = nullptr;

    void setResolution(int bits)
    {
        (bits == 16 ? form->Mnu16 : bits == 14 ? form->Mnu14 : form->Mnu12)->trigger();
        QCOMPARE(State.ResolutionBits, bits);
    }
    void setCoding(const char* entry)
    {
        Pick(form->ComboCoding, entry);
        QCOMPARE(form->ComboCoding->currentText(), QString(entry));
    }

    // Runs the entries through one field and checks traffic, text, display
    // and the error path.
    void checkEntries(CodeField* field, int address, const std::vector<Entry>& entries, bool byEnter)
    {
        for (const Entry& e : entries) {
            const QByteArray what = QByteArray("entry '") + e.text + "'";
            form->Text11->setFocus();  // elsewhere, so the error path must move it
            ShowFrameBits(0x5A5A5A);
            State.ReadFlag = 1;  // as a read-back leaves it
            FrameWatch watch(*form);
            field->setText(e.text);
            const QStringList sent = RequestsOf([&] {
                if (byEnter)
                    QTest::keyClick(field, Qt::Key_Return);
                else
                    QTest::mouseClick(field, Qt::LeftButton);
            });
            QVERIFY2(field->text() == e.shown, what + " shows '" + field->text().toUtf8() + "'");
            QCOMPARE(State.ChannelAddress, int16_t(address));
            QCOMPARE(State.ReadFlag, int16_t(0));
            if (e.index < 0) {
                QVERIFY2(sent.isEmpty(), what);
                QVERIFY2(form->focusWidget() == field, what);
                QVERIFY2(ShownImage(*form) == 0x5A5A5A, what);
                continue;
            }
            QVERIFY2(sent == QStringList{Out(217, address, e.index)}, what + " sent " + sent.join('|').toUtf8());
            // The image reaches the display before the frame goes out.
            QVERIFY2(watch.shown == std::vector<int>{address * 0x10000 + e.index}, what);
            QCOMPARE(State.RegisterData, address * 0x10000 + e.index);
            QCOMPARE(State.DataWord, e.index);
        }
    }

private slots:
    void initTestCase()
    {
        harness::Setup(true);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
    }

    void clickAndEnterWriteOtherKeysOnlyEdit()
    {
        CodeField* f = form->Text1;
        QCOMPARE(f->text(), QString("8000"));
        const QStringList write{Out(217, 1, 0x8000)};
        QCOMPARE(RequestsOf([&] { QTest::mouseClick(f, Qt::LeftButton); }), write);
        QCOMPARE(ShownImage(*form), 0x018000);
        // Every click writes, also into the field that has the focus now.
        QCOMPARE(RequestsOf([&] { QTest::mouseClick(f, Qt::LeftButton); }), write);

        QCOMPARE(RequestsOf([&] {
                     f->selectAll();
                     QTest::keyClicks(f, "fffx");
                     QTest::keyClick(f, Qt::Key_Backspace);
                 }),
                 QStringList());
        QCOMPARE(f->text(), QString("fff"));
        QCOMPARE(RequestsOf([&] { QTest::keyClick(f, Qt::Key_Return); }), QStringList{Out(217, 1, 0x0FFF)});
        QCOMPARE(f->text(), QString("0FFF"));
        QCOMPARE(RequestsOf([&] { QTest::keyClick(f, Qt::Key_Enter); }), QStringList{Out(217, 1, 0x0FFF)});

        // Each of the sixteen fields writes its own channel, by click and by Enter.
        const auto fields = form->CodeFields();
        for (size_t i = 0; i < fields.size(); ++i) {
            const int address = static_cast<int>(i / 4);
            fields[i]->setText("1");
            QCOMPARE(RequestsOf([&] { QTest::mouseClick(fields[i], Qt::LeftButton); }),
                     QStringList{Out(217, address, 1)});
            fields[i]->setText("2");
            QCOMPARE(RequestsOf([&] { QTest::keyClick(fields[i], Qt::Key_Return); }),
                     QStringList{Out(217, address, 2)});
        }
    }

    void hexEntryClampsRewritesOrClears()
    {
        checkEntries(form->Text22, 3,
                     {{"fff", "0FFF", 0x0FFF},
                      {"1FFFF", "FFFF", 0xFFFF},
                      {"FFFFFFFF", "0000", 0},
                      {"7fffffff", "FFFF", 0xFFFF},
                      {"0000000012", "0012", 0x0012},
                      {"12G4", "", -1},
                      {"", "0000", 0},  // the emptied field reads as 0
                      {"123456789", "", -1},
                      {"-5", "", -1},
                      {"&h10", "", -1},
                      {"5", "0005", 0x0005}},
                     true);
    }

    void decimalEntryRoundsClampsOrClears()
    {
        setCoding("Decimal Coding");
        checkEntries(form->Text17, 2,
                     {{"12.5", "12", 12},
                      {"13.5", "14", 14},
                      {"-7", "0", 0},
                      {"70000", "65535", 65535},
                      {"abc", "0", 0},
                      {"", "0", 0},
                      {"42volts", "42", 42},
                      {" 1 2 ", "12", 12},
                      {"1e3", "1000", 1000},
                      {"2147483647", "65535", 65535},
                      {"2147483647.5", "", -1},
                      {"9e99", "", -1},
                      {"&hFF", "255", 255}},
                     false);
        setCoding("Hexadecimal Coding");
    }

    void resolutionChangeRewritesAndSendsNothing()
    {
        const QStringList texts = CodeTexts(*form);
        const int image = ShownImage(*form);
        const std::pair<QAction*, int> picks[] = {
            {form->Mnu12, 12}, {form->Mnu14, 14}, {form->Mnu14, 14}, {form->Mnu16, 16}, {form->Mnu16, 16}};
        for (const auto& [item, bits] : picks) {
            QCOMPARE(RequestsOf([&] { item->trigger(); }), QStringList());
            QCOMPARE(State.ResolutionBits, int16_t(bits));
            QCOMPARE(form->Mnu16->isChecked(), bits == 16);
            QCOMPARE(form->Mnu14->isChecked(), bits == 14);
            QCOMPARE(form->Mnu12->isChecked(), bits == 12);
            QCOMPARE(CodeTexts(*form), texts);
            QCOMPARE(ShownImage(*form), image);
        }
    }

    void entryAtTwelveAndFourteenBitsIsLeftJustified()
    {
        setResolution(12);
        checkEntries(form->Text13, 0,
                     {{"FFFF", "FFF", 0xFFF0},
                      {"C000", "FFF", 0xFFF0},
                      {"5", "005", 0x0050},
                      {"abc", "ABC", 0xABC0},
                      {"0", "000", 0}},
                     false);
        setResolution(14);
        checkEntries(form->Text13, 0, {{"3FFF", "3FFF", 0xFFFC}, {"1", "0001", 0x0004}, {"FFFF", "3FFF", 0xFFFC}},
                     false);
        setCoding("Decimal Coding");
        checkEntries(form->Text13, 0, {{"16384", "16383", 0xFFFC}, {"2.5", "2", 0x0008}}, false);
        setResolution(12);
        checkEntries(form->Text13, 0, {{"5000", "4095", 0xFFF0}, {"3.5", "4", 0x0040}}, false);
        setCoding("Hexadecimal Coding");

        // A text written at 12 bits stays until it is entered again at 16.
        checkEntries(form->Text13, 0, {{"FFFF", "FFF", 0xFFF0}}, false);
        setResolution(16);
        QCOMPARE(form->Text13->text(), QString("FFF"));
        checkEntries(form->Text13, 0, {{"FFF", "0FFF", 0x0FFF}}, false);
    }

    void codingSwitchConvertsEveryTextWithoutTraffic()
    {
        QCOMPARE(State.Coding, std::string("Hex"));
        SetCodeTexts(*form, {"FFFF", "C000", "8000", "0", "FFFFFFFF", "1FFFF", "fffffffb", "0000",  //
                             "", "12G", "123456789", "abc", "7FFFFFFF", "80000000", "00ABC0", " 10 ",   //
                             "0000", "ABC", "", "3FFF"});
        const int image = ShownImage(*form);
        const int32_t dataWord = State.DataWord;

        // A pick with the keyboard, as the user makes it.
        QCOMPARE(RequestsOf([&] { QTest::keyClick(form->ComboCoding, Qt::Key_Down); }), QStringList());
        QCOMPARE(form->ComboCoding->currentText(), QString("Decimal Coding"));
        QCOMPARE(State.Coding, std::string("Dec"));
        // No clamping; what cannot be read as hexadecimal converts as 0.
        const QStringList decimal{"65535", "49152", "32768", "0", "-1", "131071", "-5", "0",  //
                                  "0", "0", "0", "2748", "2147483647", "-2147483648", "43968", "16",
                                  "0", "2748", "0", "16383"};
        QCOMPARE(CodeTexts(*form), decimal);
        QCOMPARE(ShownImage(*form), image);
        QCOMPARE(State.DataWord, dataWord);

        // Picking the coding in force changes nothing.
        QCOMPARE(RequestsOf([&] { Pick(form->ComboCoding, "Decimal Coding"); }), QStringList());
        QCOMPARE(CodeTexts(*form), decimal);

        setResolution(12);
        SetCodeTexts(*form, {"65535", "0", "-5", "12.5", "70000", "99999999999", "", "abc",  //
                             "1", "4095", "13.5", " 4 2 ", "-1", "1e3", "2147483647", "-2147483648",
                             "2748", "0", "-0.4", "16383"});
        QCOMPARE(RequestsOf([&] { Pick(form->ComboCoding, "Hexadecimal Coding"); }), QStringList());
        QCOMPARE(State.Coding, std::string("Hex"));
        QCOMPARE(CodeTexts(*form),
                 QStringList({"FFFF", "000", "FFFFFFFB", "00C", "11170", "000", "000", "000",  //
                              "001", "FFF", "00E", "02A", "FFFFFFFF", "3E8", "7FFFFFFF", "80000000",
                              "ABC", "000", "000", "3FFF"}));
        QCOMPARE(RequestsOf([&] { Pick(form->ComboCoding, "Hexadecimal Coding"); }), QStringList());
        setResolution(16);
    }

    // Any text typed into a field and clicked ends either cleared with nothing
    // sent, or canonical in the coding and resolution in force with its code
    // sent once; a canonical text enters unchanged.
    void fuzzedEntriesEndClearedOrCanonical()
    {
        QRandomGenerator rng(20240613);  // fixed: a failure reproduces
        const QString alphabet = "0123456789abcdefABCDEF .+-eEdD&hHxz";
        const int resolutions[3] = {16, 14, 12};
        const auto fields = form->CodeFields();
        for (int i = 0; i < 300; ++i) {
            const int bits = resolutions[i % 3];
            const bool hex = (i / 3) % 2 == 0;
            if (State.ResolutionBits != bits)
                setResolution(bits);
            if ((State.Coding == "Hex") != hex)
                setCoding(hex ? "Hexadecimal Coding" : "Decimal Coding");
            CodeField* f = fields[static_cast<size_t>(i % 16)];
            const int address = (i % 16) / 4;
            QString typed;
            for (int n = rng.bounded(13); n > 0; --n)
                typed += alphabet[rng.bounded(alphabet.size())];
            f->clear();
            QTest::keyClicks(f, typed);
            const QByteArray what = "'" + typed.toUtf8() + "' at " + QByteArray::number(bits) + (hex ? " hex" : " dec");
            QVERIFY2(f->text() == typed, what);

            const QStringList sent = RequestsOf([&] { QTest::mouseClick(f, Qt::LeftButton); });
            const QString result = f->text();
            if (result.isEmpty()) {
                QVERIFY2(sent.isEmpty(), what);
                continue;
            }
            const QRegularExpression canonical(hex ? (bits == 12 ? "^[0-9A-F]{3}$" : "^[0-9A-F]{4}$")
                                                   : "^(0|[1-9][0-9]*)$");
            QVERIFY2(canonical.match(result).hasMatch(), what + " -> " + result.toUtf8());
            const int code = result.toInt(nullptr, hex ? 16 : 10);
            QVERIFY2(code < (1 << bits), what + " -> " + result.toUtf8());
            QVERIFY2(sent == QStringList{Out(217, address, code << (16 - bits))}, what + " sent " + sent.join('|').toUtf8());
            QCOMPARE(RequestsOf([&] { QTest::mouseClick(f, Qt::LeftButton); }), sent);
            QCOMPARE(f->text(), result);
        }
        setResolution(16);
        setCoding("Hexadecimal Coding");
    }
};

QTEST_MAIN(CodeEntry)
#include "test_codeentry.moc"
