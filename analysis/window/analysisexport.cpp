// The exports: the figures and every code measured as CSV, and a picture of
// the analysis (the source, a legend with each channel's range, the three
// plots, the table of figures and the notes; no readout) as PNG or SVG.
#include "analysiswindow.h"
#include "plotview.h"

#include "analysis/report.h"
#include "runtime/savefile.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSvgGenerator>
#include <QTableWidget>

using namespace analysis;

namespace {

constexpr int kMargin = 16;

bool save(const QString& path, const std::string& contents, QString* why)
{
    std::string error;
    if (ReplaceFileContents(QFile::encodeName(path).toStdString(), contents, error))
        return true;
    if (why != nullptr)
        *why = QString::fromStdString(error);
    return false;
}

}  // namespace

bool AnalysisWindow::ExportCsv(const QString& path, QString* why) const { return save(path, FiguresCsv(analyses_), why); }

bool AnalysisWindow::ExportCodesCsv(const QString& path, QString* why) const
{
    return save(path, CodesCsv(analyses_), why);
}

QSize AnalysisWindow::exportSize() const
{
    const int lines = 3 * fontMetrics().height();
    const int plots = 3 * transferView_->height();
    return QSize(transferView_->width() + table_->width() + 3 * kMargin,
                 lines + std::max(plots, table_->height()) + 3 * kMargin);
}

void AnalysisWindow::paintExport(QPainter& painter) const
{
    const QSize size = exportSize();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setPen(Qt::black);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    const int line = fontMetrics().height();
    int y = kMargin + fontMetrics().ascent();
    const QString title = windowFilePath().isEmpty() ? sourceText_ : windowFilePath() + " \u2014 " + sourceText_;
    painter.drawText(kMargin, y, title);
    painter.setFont(font());

    // The legend: each channel shown, in its colour, with its range.
    y += line + 4;
    int x = kMargin;
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelAnalysis& a = analyses_[static_cast<size_t>(ch)];
        if (!shown_[static_cast<size_t>(ch)]->isChecked())
            continue;
        painter.setPen(QPen(ChannelColour(ch), 3));
        painter.drawLine(x, y - line / 3, x + 24, y - line / 3);
        painter.setPen(Qt::black);
        const std::string_view range = a.conditions.span().name;
        const QString text = QString("Channel %1, %2, %3, %4 bits")
                                 .arg(ChannelLetter(ch))
                                 .arg(QString::fromUtf8(range.data(), static_cast<qsizetype>(range.size())))
                                 .arg(a.conditions.coding == Coding::Binary ? "straight binary" : "two's complement")
                                 .arg(a.conditions.resolution);
        painter.drawText(x + 30, y, text);
        x += 30 + fontMetrics().horizontalAdvance(text) + 24;
    }
    painter.drawText(x, y, "(ideal dashed)");

    // The plots, one under the other; the table beside them.
    y += line;
    int top = y;
    for (PlotView* view : {transferView_, inlView_, dnlView_}) {
        view->QWidget::render(&painter, QPoint(kMargin, top), QRegion(), QWidget::DrawChildren);
        top += view->height();
    }
    const int right = 2 * kMargin + transferView_->width();
    table_->render(&painter, QPoint(right, y), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
    // The notes below the table, as far as they fit.
    const int below = y + table_->height() + kMargin;
    painter.setPen(Qt::black);
    painter.drawText(QRect(right, below, table_->width(), size.height() - below - kMargin),
                     Qt::TextWordWrap | Qt::AlignTop | Qt::AlignLeft, notes_->text());
}

bool AnalysisWindow::ExportPng(const QString& path, QString* why) const
{
    QImage image(exportSize(), QImage::Format_RGB32);
    QPainter painter(&image);
    paintExport(painter);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        if (why != nullptr)
            *why = "the picture could not be made";
        return false;
    }
    return save(path, bytes.toStdString(), why);
}

bool AnalysisWindow::ExportSvg(const QString& path, QString* why) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(exportSize());
    svg.setViewBox(QRect(QPoint(0, 0), exportSize()));
    svg.setTitle(windowTitle());
    svg.setDescription(sourceText_);
    QPainter painter;
    if (!painter.begin(&svg)) {
        if (why != nullptr)
            *why = "the picture could not be made";
        return false;
    }
    paintExport(painter);
    painter.end();
    return save(path, bytes.toStdString(), why);
}
