// The three plots: thinning the curves to the visible codes, the shared code
// axis, zoom and the readout under the pointer.
#include "analysiswindow.h"
#include "decimate.h"
#include "plotview.h"

#include "analysis/report.h"
#include "controls/controlaccess.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QValueAxis>
#include <QVBoxLayout>
#include <cmath>

using namespace analysis;

namespace {

QLineSeries* addSeries(PlotView* view, const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    auto* s = new QLineSeries;
    QPen pen(colour);
    pen.setWidthF(1.0);
    pen.setStyle(style);
    pen.setCosmetic(true);
    s->setPen(pen);
    view->chart()->addSeries(s);
    s->attachAxis(view->xAxis());
    s->attachAxis(view->yAxis());
    return s;
}

QString value(double v, int decimals, const char* unit)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) + unit : QString("n/a");
}

}  // namespace

QColor ChannelColour(int channel)
{
    static const QColor colours[kChannels] = {QColor(0x1f, 0x5f, 0xb4), QColor(0xe0, 0x6c, 0x00),
                                              QColor(0x2c, 0x8c, 0x2c), QColor(0xc0, 0x20, 0x28)};
    return colours[channel & 3];
}

QWidget* AnalysisWindow::buildPlots()
{
    plots_ = new QWidget(this);
    plots_->setObjectName("Plots");
    auto* layout = new QVBoxLayout(plots_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    transferView_ = new PlotView("Transfer (measured, ideal dashed)", "Volts", plots_);
    inlView_ = new PlotView("INL", "LSB", plots_);
    dnlView_ = new PlotView("DNL", "LSB", plots_);
    for (int ch = 0; ch < kChannels; ++ch) {
        const size_t i = static_cast<size_t>(ch);
        ideal_[i] = addSeries(transferView_, ChannelColour(ch).lighter(150), Qt::DashLine);
        measured_[i] = addSeries(transferView_, ChannelColour(ch));
        inl_[i] = addSeries(inlView_, ChannelColour(ch));
        dnl_[i] = addSeries(dnlView_, ChannelColour(ch));
    }
    for (PlotView* view : {transferView_, inlView_, dnlView_}) {
        layout->addWidget(view, 1);
        view->setMinimumHeight(180);
        connect(view->xAxis(), &QValueAxis::rangeChanged, this, [this](qreal lo, qreal hi) {
            if (!applyingRange_)
                ZoomTo(lo, hi);
        });
        connect(view, &PlotView::resetRequested, this, &AnalysisWindow::ResetZoom);
        // Thinned again whenever the plot area's width in pixels changes.
        connect(view->chart(), &QChart::plotAreaChanged, this, [this, view](const QRectF& area) {
            if (!applyingRange_ && static_cast<int>(area.width()) != view->property("columns").toInt())
                refreshPlots();
        });
        connect(view, &PlotView::hovered, this, &AnalysisWindow::ShowReadout);
        connect(view, &PlotView::zoomRequested, this, [this](double factor) {
            const double mid = (xLo_ + xHi_) / 2;
            const double half = std::max((xHi_ - xLo_) * factor / 2, 4.0);
            ZoomTo(mid - half, mid + half);
        });
        connect(view, &PlotView::panRequested, this, [this](double fraction) {
            const double width = xHi_ - xLo_;
            const double lo = std::clamp(xLo_ + fraction * width, 0.0, fullWidth() - width);
            ZoomTo(lo, lo + width);
        });
    }
    hover_ = new QLabel("Point at a plot to read the code's volts and errors.", plots_);
    hover_->setObjectName("Readout");
    ShowsValue(hover_, "Readout at the pointer");
    hover_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    hover_->setMinimumHeight(hover_->fontMetrics().height() * 2 + 4);
    hover_->setWordWrap(true);
    layout->addWidget(hover_);
    return plots_;
}

void AnalysisWindow::ZoomTo(double lo, double hi)
{
    lo = std::clamp(lo, 0.0, static_cast<double>(fullWidth()));
    hi = std::clamp(hi, 0.0, static_cast<double>(fullWidth()));
    if (hi - lo < 1)
        return;
    xLo_ = lo;
    xHi_ = hi;
    refreshPlots();
}

void AnalysisWindow::ResetZoom() { ZoomTo(0, fullWidth()); }

void AnalysisWindow::refreshPlots()
{
    const bool bestFit = inlMethod_->currentIndex() == 1;
    struct Plot {
        PlotView* view;
        std::array<QLineSeries*, kChannels>* series;
        std::vector<double> ChannelAnalysis::*values;
    };
    const Plot plots[] = {
        {transferView_, &measured_, &ChannelAnalysis::volts},
        {inlView_, &inl_, bestFit ? &ChannelAnalysis::inlBestfit : &ChannelAnalysis::inlEndpoint},
        {dnlView_, &dnl_, &ChannelAnalysis::dnl},
    };
    applyingRange_ = true;
    for (const Plot& plot : plots) {
        double lo = 0;
        double hi = 0;
        bool any = false;
        for (int ch = 0; ch < kChannels; ++ch) {
            const size_t i = static_cast<size_t>(ch);
            QLineSeries* s = (*plot.series)[i];
            const bool shown = shown_[i]->isChecked();
            const auto& values = analyses_[i].*plot.values;
            s->replace(shown ? DecimateMinMax(values, xLo_, xHi_, plot.view->columns()) : QList<QPointF>{});
            double a = 0;
            double b = 0;
            if (shown && VisibleExtent(values, xLo_, xHi_, a, b)) {
                lo = any ? std::min(lo, a) : a;
                hi = any ? std::max(hi, b) : b;
                any = true;
            }
            if (plot.view == transferView_) {
                const Conditions& c = analyses_[i].conditions;
                ideal_[i]->replace(shown ? QList<QPointF>{{xLo_, c.ideal(xLo_)}, {xHi_, c.ideal(xHi_)}}
                                         : QList<QPointF>{});
                if (shown) {
                    lo = any ? std::min({lo, c.ideal(xLo_), c.ideal(xHi_)}) : std::min(c.ideal(xLo_), c.ideal(xHi_));
                    hi = any ? std::max({hi, c.ideal(xLo_), c.ideal(xHi_)}) : std::max(c.ideal(xLo_), c.ideal(xHi_));
                    any = true;
                }
            }
        }
        if (!any || hi - lo < 1e-9) {
            lo = any ? lo - 1 : -1;
            hi = any ? hi + 1 : 1;
        }
        const double margin = (hi - lo) * 0.05;
        plot.view->setProperty("columns", plot.view->columns());
        plot.view->xAxis()->setRange(xLo_, xHi_);
        plot.view->yAxis()->setRange(lo - margin, hi + margin);
        plot.view->yAxis()->applyNiceNumbers();
    }
    applyingRange_ = false;
}

void AnalysisWindow::ShowReadout(double x)
{
    const int p = static_cast<int>(std::lround(x));
    if (p < 0 || p > fullWidth())
        return;
    const int digits = (resolution() + 3) / 4;
    QStringList parts;
    for (int ch = 0; ch < kChannels; ++ch) {
        const size_t i = static_cast<size_t>(ch);
        if (!shown_[i]->isChecked())
            continue;
        const ChannelAnalysis& a = analyses_[i];
        const size_t at = static_cast<size_t>(p);
        const int code = a.conditions.code(p);
        parts << QString("%1: code 0x%2, %3 \u00B1 %4 (ideal %5), INL %6, DNL %7")
                     .arg(ChannelLetter(ch))
                     .arg(code, digits, 16, QChar('0'))
                     .arg(value(a.volts[at], 5, " V"), value(a.uncertainty[at] * 1000, 2, " mV"),
                          value(a.conditions.ideal(p), 5, " V"),
                          value((inlMethod_->currentIndex() == 1 ? a.inlBestfit : a.inlEndpoint)[at], 2, " LSB"),
                          value(a.dnl[at], 2, " LSB"));
    }
    hover_->setText(QString("Position %1. ").arg(p) + (parts.isEmpty() ? QString("No channel shown.") : parts.join("; ")));
    AnnounceNumberChange(hover_);
}

