#include "plotview.h"

#include <QChart>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QValueAxis>

PlotView::PlotView(const QString& title, const QString& yTitle, QWidget* parent)
    : QChartView(new QChart, parent), x_(new QValueAxis), y_(new QValueAxis)
{
    chart()->setTitle(title);
    chart()->legend()->setVisible(false);
    chart()->setMargins(QMargins(4, 2, 4, 2));
    x_->setTitleText("Code position");
    x_->setLabelFormat("%.0f");
    y_->setTitleText(yTitle);
    y_->setLabelFormat("%.4g");
    chart()->addAxis(x_, Qt::AlignBottom);
    chart()->addAxis(y_, Qt::AlignLeft);
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::HorizontalRubberBand);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(title + " plot");
    setAccessibleDescription("Drag across codes to zoom, double-click or Home to show every code; "
                             "plus and minus zoom, left and right arrows pan.");
}

int PlotView::columns() const { return std::max(1, static_cast<int>(chart()->plotArea().width())); }

void PlotView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    emit resetRequested();
}

void PlotView::mouseMoveEvent(QMouseEvent* event)
{
    QChartView::mouseMoveEvent(event);
    const QPointF at = event->position();
    if (chart()->plotArea().contains(at))
        emit hovered(chart()->mapToValue(at).x());
    else
        emit left();
}

void PlotView::leaveEvent(QEvent* event)
{
    QChartView::leaveEvent(event);
    emit left();
}

void PlotView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Home:
        emit resetRequested();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        emit zoomRequested(0.5);
        break;
    case Qt::Key_Minus:
        emit zoomRequested(2.0);
        break;
    case Qt::Key_Left:
        emit panRequested(-0.25);
        break;
    case Qt::Key_Right:
        emit panRequested(0.25);
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}
