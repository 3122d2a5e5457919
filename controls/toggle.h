#pragma once
// A two-state switch: a small lever over a caption. The caption is the off
// caption while the switch is off and the on caption while it is on, so
// text() always names the current state. The user flips it with the mouse,
// or with Space or Enter when it has the keyboard focus; each flip raises
// Event9 once, after the state has changed. Setting the state from code
// (setValue) raises nothing.
//
// Assistive technology sees a checkable button named by its current caption,
// checked while the switch is on; its press and toggle actions flip it as a
// click does, Event9 included.
#include <QAbstractButton>

class Toggle : public QAbstractButton {
    Q_OBJECT
public:
    Toggle(const QString& offCaption, const QString& onCaption, QWidget* parent = nullptr);

    bool value() const { return isChecked(); }
    void setValue(bool on);

    const QString& offCaption() const { return offCaption_; }
    const QString& onCaption() const { return onCaption_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Event9();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void showCaption();
    QFont captionFont() const;  // the widget's font, shrunk to fit the width

    QString offCaption_;
    QString onCaption_;
};
