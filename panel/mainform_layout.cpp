// The panel's layout. Positions are in pixels (15 twips to a pixel); where the
// design gives twips they are converted with tw().
#include "codefield.h"
#include "mainform.h"
#include "pickbox.h"
#include "controls/controlaccess.h"
#include "controls/led.h"
#include "controls/numled.h"
#include "controls/toggle.h"
#include "controls/ui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace {
constexpr int tw(int twips) { return twips / 15; }

template <class W>
W* make(QWidget* parent, const char* name, int x, int y, int w, int h)
{
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h)
{
    auto* l = make<QLabel>(parent, name, x, y, w, h);
    l->setText(text);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& accessible, int x,
                    int y, int w, int h)
{
    auto* b = make<QPushButton>(parent, name, x, y, w, h);
    b->setText(text);
    b->setAccessibleName(accessible);
    return b;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h)
{
    auto* f = make<QGroupBox>(parent, name, x, y, w, h);
    f->setTitle(caption);
    // Without a name of its own a frame inside a frame is named by the outer
    // one's caption.
    f->setAccessibleName(caption);
    return f;
}

Toggle* toggle(QWidget* parent, const char* name, const QString& off, const QString& on, int x, int y)
{
    auto* t = new Toggle(off, on, parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setGeometry(x, y, 104, 34);
    return t;
}

LED* lamp(QWidget* parent, const char* name, const QString& accessible, int x, int y)
{
    auto* l = new LED(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, 16, 16);
    l->setAccessibleName(accessible);
    return l;
}

QPixmap logoPicture()
{
    QPixmap pix(96, 48);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 51, 153));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, 96, 48), 8, 8);
    p.setPen(Qt::white);
    QFont f = ToolFont(16, true);
    p.setFont(f);
    p.drawText(QRectF(0, 0, 96, 48), Qt::AlignCenter, "QV");
    return pix;
}
}  // namespace

void MainForm::BuildMenus()
{
    MnuFile = menuBar()->addMenu("&File");
    MnuFile->setObjectName("MnuFile");
    MnuAbout = MnuFile->addAction("&About");
    MnuAbout->setObjectName("MnuAbout");
    MnuExit = MnuFile->addAction("E&xit");
    MnuExit->setObjectName("MnuExit");

    MnuRes = menuBar()->addMenu("&Resolution");
    MnuRes->setObjectName("MnuRes");
    Mnu16 = MnuRes->addAction("Operate at &16 Bits of resolution (QV4816X)");
    Mnu16->setObjectName("Mnu16");
    Mnu14 = MnuRes->addAction("Operate at &14 Bits of resolution (QV4814X)");
    Mnu14->setObjectName("Mnu14");
    Mnu12 = MnuRes->addAction("Operate at &12 Bits of resolution (QV4812X)");
    Mnu12->setObjectName("Mnu12");
    for (QAction* a : {Mnu16, Mnu14, Mnu12})
        a->setCheckable(true);
    Mnu16->setChecked(true);
}

void MainForm::BuildHeader()
{
    QWidget* w = centralWidget();
    setFont(ToolFont(8.25));

    Label16 = label(w, "Label16", "Q", 8, 6, 56, 56);
    QFont glyph = ToolFont(32, true);
    glyph.setItalic(true);
    Label16->setFont(glyph);
    Label16->setAlignment(Qt::AlignCenter);
    Label16->setStyleSheet("color: #003399;");
    Label16->setFocusPolicy(Qt::StrongFocus);
    Label16->setAccessibleName("Logo");
    Label16->setAccessibleDescription("Double-click, or press Enter, to open the test window");

    titleLabel = label(w, "titleLabel", "QV4816X", 72, 2, 300, 40);
    QFont narrow;
    narrow.setFamilies({"Arial Narrow", "Liberation Sans Narrow", "DejaVu Sans Condensed", "DejaVu Sans"});
    narrow.setPointSize(24);
    narrow.setBold(true);
    titleLabel->setFont(narrow);

    Label5 = label(w, "Label5",
                   QString::fromUtf8("Complete, Quad, 16-Bit, Serial Input, Unipolar/Bipolar Voltage Output DAC, "
                                     "5ppm/\u00B0C Internal Reference"),
                   72, 42, 760, 20);

    Image1 = make<QLabel>(w, "Image1", 958, 8, 96, 48);
    Image1->setPixmap(logoPicture());
    Image1->setAccessibleName("Logo picture");

    Command1 = button(w, "Command1", "Read all Registers and Update Display", "Read all Registers and Update Display",
                      8, 488, 300, 28);
}

void MainForm::BuildProgramFrame()
{
    // Four channel frames of 1305 x 2415 twips side by side, the coding box
    // above them, and each channel's range box and "Read" under its frame.
    const int frameW = tw(1305), frameH = tw(2415);
    const int top = 50, gap = 10, left = 12;
    Frame2 = frame(centralWidget(), "Frame2", "Program output Voltage", 8, 70, left * 2 + 4 * frameW + 3 * gap,
                   top + frameH + 76);

    ComboCoding = make<PickBox>(Frame2, "ComboCoding", tw(2040), tw(315) + 4, tw(2220), tw(315) + 2);
    ComboCoding->setEditText("Hexadecimal Coding");
    ComboCoding->setAccessibleName("Number coding");

    const char* frameNames[4] = {"Frame8", "Frame9", "Frame10", "Frame11"};
    const char* channels[4] = {"DAC A", "DAC B", "DAC C", "DAC D"};
    const char* fieldNames[4][4] = {{"Text11", "Text10", "Text13", "Text12"},
                                    {"Text14", "Text15", "Text1", "Text2"},
                                    {"Text18", "Text19", "Text16", "Text17"},
                                    {"Text22", "Text23", "Text20", "Text21"}};
    const char* designTexts[4] = {"FFFF", "A000", "8000", "0000"};
    const char* readNames[4] = {"Command7", "Command8", "Command9", "Command10"};
    const char* labelNames[4] = {"Label8", "Label9", "Label10", "Label11"};
    const char* rangeNames[4] = {"ComboRangeA", "ComboRangeB", "ComboRangeC", "ComboRangeD"};
    const char* rangeReadNames[4] = {"Command5", "Command13", "Command12", "Command11"};
    QGroupBox** frames[4] = {&Frame8, &Frame9, &Frame10, &Frame11};
    CodeField** fields[4][4] = {{&Text11, &Text10, &Text13, &Text12},
                                {&Text14, &Text15, &Text1, &Text2},
                                {&Text18, &Text19, &Text16, &Text17},
                                {&Text22, &Text23, &Text20, &Text21}};
    QPushButton** reads[4] = {&Command7, &Command8, &Command9, &Command10};
    QLabel** labels[4] = {&Label8, &Label9, &Label10, &Label11};
    PickBox** ranges[4] = {&ComboRangeA, &ComboRangeB, &ComboRangeC, &ComboRangeD};
    QPushButton** rangeReads[4] = {&Command5, &Command13, &Command12, &Command11};
    const int fieldTops[4] = {315, 630, 945, 1260};

    for (int c = 0; c < 4; ++c) {
        const int x = left + c * (frameW + gap);
        const QString channel = QString::fromLatin1(channels[c]);
        QGroupBox* f = frame(Frame2, frameNames[c], channel, x, top, frameW, frameH);
        *frames[c] = f;
        for (int r = 0; r < 4; ++r) {
            auto* field = make<CodeField>(f, fieldNames[c][r], tw(315), tw(fieldTops[r]), tw(645), tw(285));
            field->setText(QString::fromLatin1(designTexts[r]));
            field->setAccessibleName(channel + QString(" code field %1").arg(r + 1));
            *fields[c][r] = field;
        }
        *reads[c] = button(f, readNames[c], "Read", "Read " + channel, tw(210), tw(1680), tw(915), tw(285));
        QLabel* l = label(f, labelNames[c], "0000", tw(210), tw(1995), tw(855), tw(225));
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        ShowsValue(l, channel + " read-back");
        *labels[c] = l;

        PickBox* range = make<PickBox>(Frame2, rangeNames[c], x, top + frameH + 8, frameW, 24);
        range->setEditText("+5V");
        range->setAccessibleName(channel + " output range");
        *ranges[c] = range;
        *rangeReads[c] = button(Frame2, rangeReadNames[c], "Read", "Read " + channel + " output range",
                                x + (frameW - tw(915)) / 2, top + frameH + 38, tw(915), tw(285) + 4);
    }
}

void MainForm::BuildInputRegisterFrame()
{
    // BitsDisplay(23) at the left, (0) at the right, a wider gap after every
    // fourth element so that the row reads as the frame.
    const int digitW = 13, digitH = 22, step = 15, groupGap = 8, left = 12, rowTop = 56;
    Frame1 = frame(centralWidget(), "Frame1", "Input Register", 8, 384, 24 * step + 5 * groupGap + 2 * left, 94);
    auto xOf = [&](int bit) {
        const int pos = 23 - bit;
        return left + pos * step + (pos / 4) * groupGap;
    };
    for (int bit = 0; bit < 24; ++bit) {
        auto* d = new NumLED(Frame1);
        d->setObjectName(QString("BitsDisplay(%1)").arg(bit));
        d->setDigits(1);
        d->setGeometry(xOf(bit), rowTop, digitW, digitH);
        d->setValue("0");
        d->setAccessibleName(QString("Frame bit %1").arg(bit));
        BitsDisplay[static_cast<size_t>(bit)] = d;
    }
    // Each caption is centred over its bits on one line, clear of the outline
    // around the bits; the register and address captions, wider than their
    // three bits, stand on two levels.
    const int captionTop = rowTop - 20;
    auto caption = [&](int element, const char* text, int fromBit, int toBit, int level) {
        const int centre = (xOf(fromBit) + xOf(toBit) + digitW) / 2;
        const int w = std::max(xOf(toBit) + digitW - xOf(fromBit) + 6, 90);
        QLabel* l = label(Frame1, "", QString::fromLatin1(text), centre - w / 2, captionTop - 14 * level, w, 15);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        l->setObjectName(QString("Label1(%1)").arg(element));
        Label1[static_cast<size_t>(element)] = l;
    };
    caption(5, "R/ W", 23, 23, 0);
    caption(9, "Register Bits", 21, 19, 1);
    caption(8, "Address Bits", 18, 16, 0);
    caption(7, "Data Bits", 15, 0, 0);
    Label1[5]->setGeometry(xOf(23) - 6, captionTop, 28, 15);

    Shape1 = make<QFrame>(Frame1, "Shape1", left - 4, rowTop - 4, xOf(0) + digitW - left + 8, digitH + 8);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->lower();
}

void MainForm::BuildControlFrame()
{
    Frame4 = frame(centralWidget(), "Frame4", "Control Register", 440, 70, 240, 190);
    Toggle1 = toggle(Frame4, "Toggle1", "TSD DISABLED", "TSD ENABLED", 10, 24);
    Toggle2 = toggle(Frame4, "Toggle2", "CLAMP DISABLED", "CLAMP ENABLED", 124, 24);
    Toggle3 = toggle(Frame4, "Toggle3", "CLR SELECT LOW", "CLR SELECT HIGH", 10, 66);
    Toggle4 = toggle(Frame4, "Toggle4", "SDO ENABLED", "SDO DISABLED", 124, 66);
    Command3 = button(Frame4, "Command3", "LOAD", "LOAD", 10, 110, 104, 26);
    Command4 = button(Frame4, "Command4", "CLEAR", "CLEAR", 124, 110, 104, 26);
    Command2 = button(Frame4, "Command2", "Read", "Read control register", 124, 150, 104, 26);
}

void MainForm::BuildPowerFrame()
{
    Frame5 = frame(centralWidget(), "Frame5", "Power Control Register", 440, 268, 380, 190);
    Toggle5 = toggle(Frame5, "Toggle5", "DACA OFF", "DACA ON", 10, 24);
    Toggle6 = toggle(Frame5, "Toggle6", "DACB OFF", "DACB ON", 124, 24);
    Toggle7 = toggle(Frame5, "Toggle7", "DACC OFF", "DACC ON", 10, 66);
    Toggle8 = toggle(Frame5, "Toggle8", "DACD OFF", "DACD ON", 124, 66);
    Toggle9 = toggle(Frame5, "Toggle9", "REF OFF", "REF ON", 10, 108);

    // Lamps in two columns, each just left of its label.
    LED1 = lamp(Frame5, "LED1", "OC A", 244, 32);
    Label2 = label(Frame5, "Label2", "OC A", 264, 30, 40, 20);
    LED2 = lamp(Frame5, "LED2", "OC B", 244, 62);
    Label4 = label(Frame5, "Label4", "OC B", 264, 60, 40, 20);
    LED5 = lamp(Frame5, "LED5", "TSD", 244, 92);
    Label7 = label(Frame5, "Label7", "TSD", 264, 90, 40, 20);
    LED3 = lamp(Frame5, "LED3", "OC C", 310, 32);
    Label6 = label(Frame5, "Label6", "OC C", 330, 30, 40, 20);
    LED4 = lamp(Frame5, "LED4", "OC D", 310, 62);
    Label3 = label(Frame5, "Label3", "OC D", 330, 60, 40, 20);

    Command6 = button(Frame5, "Command6", "Read", "Read power control register", 264, 150, 104, 26);
}

void MainForm::BuildHardwareFrame()
{
    // One row, left to right CLR, LDAC, BIN/2sCOMP; the check box under LDAC.
    Frame6 = frame(centralWidget(), "Frame6", "Hardware Configuration", 690, 70, 360, 110);
    Toggle10 = toggle(Frame6, "Toggle10", "CLR LOW", "CLR HIGH", 10, 24);
    Toggle12 = toggle(Frame6, "Toggle12", "LDAC LOW", "LDAC HIGH", 124, 24);
    Toggle11 = toggle(Frame6, "Toggle11", "2sCOMPLEMENT", "BINARY", 238, 24);
    Toggle10->setValue(true);
    Toggle11->setValue(true);
    Check1 = make<QCheckBox>(Frame6, "Check1", 100, 68, 200, 22);
    Check1->setText("Pulse LDAC After data write");
}

void MainForm::BuildAdcFrame()
{
    Frame7 = frame(centralWidget(), "Frame7", "On-Board ADC", 830, 188, 220, 190);
    Command14 = button(Frame7, "Command14", "Measure Output Voltages", "Measure Output Voltages", 10, 24, 200, 28);
    const char* labelNames[4] = {"Label12", "Label13", "Label14", "Label15"};
    const char* texts[4] = {"DAC A (V)", "DAC B (V)", "DAC C (V)", "DAC D (V)"};
    const char* ledNames[4] = {"NumLED1", "NumLED2", "NumLED3", "NumLED4"};
    QLabel** labels[4] = {&Label12, &Label13, &Label14, &Label15};
    NumLED** displays[4] = {&NumLED1, &NumLED2, &NumLED3, &NumLED4};
    for (int c = 0; c < 4; ++c) {
        const int x = 10 + (c % 2) * 104, y = 62 + (c / 2) * 62;
        *labels[c] = label(Frame7, labelNames[c], QString::fromLatin1(texts[c]), x, y, 96, 18);
        auto* d = new NumLED(Frame7);
        d->setObjectName(QString::fromLatin1(ledNames[c]));
        d->setDigits(8);
        d->setGeometry(x, y + 18, 96, 30);
        d->setAccessibleName(QString::fromLatin1(texts[c]));
        *displays[c] = d;
    }
    setFixedSize(1062, 548);
}
