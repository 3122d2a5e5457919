#pragma once
// One plot of the analysis window: a chart over the code axis that zooms to
// the codes dragged across, goes back to every code on a double-click (or
// Home), and reports the code under the pointer.
#include <QChartView>
#include <QColor>

class QValueAxis;

// The colour of channel 0..3 (A..D) in every plot and in the channel boxes.
QColor ChannelColour(int channel);

class PlotView : public QChartView {
    Q_OBJECT
public:
    PlotView(const QString& title, const QString& yTitle, QWidget* parent = nullptr);

    QValueAxis* xAxis() const { return x_; }
    QValueAxis* yAxis() const { return y_; }
    // Width of the plot area in pixels: the columns a curve is thinned to.
    int columns() const;

signals:
    void hovered(double x);
    void left();
    void resetRequested();
    void zoomRequested(double factor);  // about the middle; < 1 zooms in
    void panRequested(double fraction); // of the visible width

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QValueAxis* x_;
    QValueAxis* y_;
};
