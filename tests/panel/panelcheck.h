#pragma once
// Helpers shared by the register panel's tests: the device traffic of one
// action, the frame image on the bit display, and the user's picks.
#include "board/primitives.h"
#include "harness.h"
#include "panel/codefield.h"
#include "panel/mainform.h"
#include "panel/pickbox.h"
#include "controls/numled.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QtTest>
#include <functional>

namespace panelcheck {

// The vendor requests an action makes, as trace lines.
inline QStringList RequestsOf(const std::function<void()>& act)
{
    harness::ClearTrace();
    act();
    QStringList lines;
    for (const std::string& line : harness::Requests())
        lines << QString::fromStdString(line);
    return lines;
}

inline QString Hex4(int v) { return "0x" + QString("%1").arg(v & 0xFFFF, 4, 16, QChar('0')).toUpper(); }

// An outgoing request as the trace writes it.
inline QString Out(int code, int value, int index)
{
    return QString("request code=%1 dir=0 value=%2 index=%3 length=0").arg(code).arg(Hex4(value), Hex4(index));
}

// A register read: the read frame, then the frame that clocks the data out.
inline void CheckReadOf(const QStringList& sent, int readValue)
{
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[0], Out(221, readValue, 0));
    QVERIFY2(sent[1].startsWith("request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> "), qPrintable(sent[1]));
}

// ReadFlag, RegisterSelect and ChannelAddress as the top byte of a frame.
inline int Header() { return State.ReadFlag * 0x80 + State.RegisterSelect * 8 + State.ChannelAddress; }

// The 24 bits on BitsDisplay as one number; -1 when an element shows
// anything but 0 or 1.
inline int ShownImage(const MainForm& form)
{
    int image = 0;
    for (int i = 23; i >= 0; --i) {
        const QString v = form.BitsDisplay[size_t(i)]->value();
        image = (v == "0" || v == "1") && image >= 0 ? image * 2 + v.toInt() : -1;
    }
    return image;
}

// The frame image on BitsDisplay, and the header fields of State that agree
// with its top byte.
inline void CheckImage(const MainForm& form, int image)
{
    QCOMPARE(ShownImage(form), image);
    QCOMPARE(Header(), image >> 16);
}

// A list pick as the user makes it: open the list, click the entry.
inline void Pick(QComboBox* box, const QString& text)
{
    box->showPopup();
    QAbstractItemView* list = box->view();
    const QModelIndex entry = list->model()->index(box->findText(text), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
    QCoreApplication::processEvents();
}

inline void SetResolution(MainForm& form, int bits)
{
    (bits == 16 ? form.Mnu16 : bits == 14 ? form.Mnu14 : form.Mnu12)->trigger();
    QCOMPARE(State.ResolutionBits, int16_t(bits));
}

// Types a text into a code field (replacing what it holds) and clicks it.
inline void Enter(CodeField* field, const QString& text)
{
    field->setText(text);
    QTest::mouseClick(field, Qt::LeftButton);
}

// The texts of the sixteen code fields and the four read-back labels.
inline QStringList CodeTexts(const MainForm& form)
{
    QStringList texts;
    for (CodeField* f : form.CodeFields())
        texts << f->text();
    for (QLabel* l : form.ReadBackLabels())
        texts << l->text();
    return texts;
}

}  // namespace panelcheck
