#pragma once
// Helpers shared by the register panel's tests: the device traffic of one
// action, the frame image on the bit display, user picks in the drop-down
// boxes, and a watch on what the bit display shows as each frame goes out.
#include "board/declare.h"
#include "harness.h"
#include "panel/codefield.h"
#include "panel/mainform.h"
#include "platform/numled.h"

#include <QComboBox>
#include <QLabel>
#include <QStringList>
#include <QtTest>
#include <functional>
#include <vector>

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

// The frame that clocks a read-back out of the device.
inline bool IsClockOut(const QString& line)
{
    return line.startsWith("request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> ");
}

// The 24 bits on BitsDisplay as one number; -1 when an element shows
// anything but 0 or 1.
inline int ShownImage(const MainForm& form)
{
    int image = 0;
    for (int i = 23; i >= 0; --i) {
        const QString v = form.BitsDisplay[static_cast<size_t>(i)]->value();
        if (v != "0" && v != "1")
            return -1;
        image = image * 2 + (v == "1" ? 1 : 0);
    }
    return image;
}

// Picks a list entry the way the user does: the box moves to the entry and
// raises activated.
inline void Pick(QComboBox* box, const QString& text)
{
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
    emit box->activated(index);
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

inline void SetCodeTexts(MainForm& form, const QStringList& texts)
{
    const auto fields = form.CodeFields();
    const auto labels = form.ReadBackLabels();
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(texts.value(static_cast<int>(i)));
    for (size_t i = 0; i < labels.size(); ++i)
        labels[i]->setText(texts.value(static_cast<int>(fields.size() + i)));
}

// Records what BitsDisplay shows at the moment each serial frame goes out:
// the frame primitive asks for the pulse-LDAC setting once per frame, just
// before it sends.
class FrameWatch : public PulseLdacSetting {
public:
    explicit FrameWatch(MainForm& form) : form_(form) { AttachPanel(this, &form_); }
    ~FrameWatch() override { AttachPanel(&form_, &form_); }
    FrameWatch(const FrameWatch&) = delete;
    FrameWatch& operator=(const FrameWatch&) = delete;

    bool PulseLdacTicked() const override
    {
        shown.push_back(ShownImage(form_));
        return form_.PulseLdacTicked();
    }

    mutable std::vector<int> shown;

private:
    MainForm& form_;
};

}  // namespace panelcheck
