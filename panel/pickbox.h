#pragma once
// A drop-down box with an editable text whose Click is raised only when the
// user picks an entry: from the open list, with the arrow and page keys, or
// with Enter on a text that names an entry. Typing alone, leaving the box, or
// turning the mouse wheel over it picks nothing; neither does setting its
// text or entry from code.
#include <QComboBox>

class PickBox : public QComboBox {
    Q_OBJECT
public:
    explicit PickBox(QWidget* parent = nullptr);

    void hidePopup() override;

signals:
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool picking_ = false;  // a pick of the user's is under way
};
