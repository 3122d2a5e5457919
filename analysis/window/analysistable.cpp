// The table of figures, each with its uncertainty, the range box of each
// channel above it, and the notes below it.
#include "analysiswindow.h"
#include "plotview.h"

#include "analysis/report.h"
#include "controls/controlaccess.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

using namespace analysis;

namespace {

struct Row {
    const char* label;
    double Figures::*value;   // a plain number, or
    Figure Figures::*figure;  // a figure and its uncertainty; both null: a count
    int decimals;             // for a plain number, or a figure known exactly
};

// The table's rows under the range.
const Row kRows[] = {
    {"Codes measured", nullptr, nullptr, 0},
    {"LSB (mV)", &Figures::lsbMv, nullptr, 5},
    {"Measurement step (LSB)", &Figures::measurementStepLsb, nullptr, 2},
    {"Offset error (LSB)", nullptr, &Figures::offsetErrorLsb, 2},
    {"Offset error (mV)", nullptr, &Figures::offsetErrorMv, 3},
    {"Gain error (%)", nullptr, &Figures::gainErrorPercent, 4},
    {"Zero-scale error (mV)", nullptr, &Figures::zeroScaleErrorMv, 3},
    {"Zero-scale error (LSB)", nullptr, &Figures::zeroScaleErrorLsb, 2},
    {"Full-scale error (mV)", nullptr, &Figures::fullScaleErrorMv, 3},
    {"Full-scale error (LSB)", nullptr, &Figures::fullScaleErrorLsb, 2},
    {"Bipolar-zero error (mV)", nullptr, &Figures::bipolarZeroErrorMv, 3},
    {"Bipolar-zero error (LSB)", nullptr, &Figures::bipolarZeroErrorLsb, 2},
    {"INL end-point, max (LSB)", nullptr, &Figures::inlEndpointMaxLsb, 2},
    {"INL best-fit, max (LSB)", nullptr, &Figures::inlBestfitMaxLsb, 2},
    {"DNL min (LSB)", nullptr, &Figures::dnlMinLsb, 2},
    {"DNL max (LSB)", nullptr, &Figures::dnlMaxLsb, 2},
    {"Decreasing steps", nullptr, nullptr, 0},
};
constexpr int kFirstRow = 1;  // row 0: the range

QString number(double v, int decimals)
{
    if (v == 0)
        v = 0;  // no "-0.00"
    return QString::number(v, 'f', decimals);
}

// "1.25 ± 0.13": the value to the last digit of its uncertainty (two
// significant digits); "n/a" when unknown.
QString figureText(const Figure& f, int decimals)
{
    if (!f.known())
        return "n/a";
    if (f.uncertainty > 0 && std::isfinite(f.uncertainty))
        decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(f.uncertainty))), 0, 6);
    return number(f.value, decimals) + QString::fromUtf8(" \u00B1 ") + number(f.uncertainty, decimals);
}

QString rangeName(int range)
{
    const std::string_view name = Ranges()[static_cast<size_t>(range)].name;
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

QWidget* AnalysisWindow::buildTable()
{
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    // The range of each channel: a choice of its own, in the channel's colour.
    auto* ranges = new QWidget(panel);
    auto* grid = new QGridLayout(ranges);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel("Range:", ranges);
    grid->addWidget(caption, 0, 0);
    for (int ch = 0; ch < kChannels; ++ch) {
        auto* label = new QLabel(QString("&%1").arg(ChannelLetter(ch)), ranges);
        label->setStyleSheet(QString("color: %1; font-weight: bold;").arg(ChannelColour(ch).name()));
        auto* box = new QComboBox(ranges);
        box->setObjectName(QString("Range%1").arg(ChannelLetter(ch)));
        // A combo box is named by its current text; the description says whose.
        box->setAccessibleDescription(QString("Range of channel %1").arg(ChannelLetter(ch)));
        for (int r = 0; r < static_cast<int>(Ranges().size()); ++r)
            box->addItem(rangeName(r));
        label->setBuddy(box);
        connect(box, &QComboBox::activated, this, [this, ch](int i) { SetRange(ch, i); });
        grid->addWidget(label, 0, 1 + 2 * ch, Qt::AlignRight);
        grid->addWidget(box, 0, 2 + 2 * ch);
        grid->setColumnStretch(2 + 2 * ch, 1);
        rangeBoxes_[static_cast<size_t>(ch)] = box;
    }
    layout->addWidget(ranges);

    table_ = new QTableWidget(kFirstRow + static_cast<int>(std::size(kRows)), kChannels, panel);
    table_->setObjectName("Figures");
    table_->setAccessibleName("Figures per channel");
    table_->setAccessibleDescription("One column per channel; each figure with its uncertainty, n/a where the data "
                                     "cannot give it (the notes say why).");
    QStringList rows{"Range"};
    for (const Row& r : kRows)
        rows << r.label;
    table_->setVerticalHeaderLabels(rows);
    QStringList columns;
    for (int ch = 0; ch < kChannels; ++ch)
        columns << QString("Channel %1").arg(ChannelLetter(ch));
    table_->setHorizontalHeaderLabels(columns);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setTextElideMode(Qt::ElideNone);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int ch = 0; ch < kChannels; ++ch)
        for (int r = 0; r < table_->rowCount(); ++r) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, ch, item);
        }
    table_->setMinimumWidth(560);
    notes_ = new QLabel(panel);
    notes_->setObjectName("Notes");
    notes_->setWordWrap(true);
    notes_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ShowsValue(notes_, "Notes on the figures");
    layout->addWidget(table_, 0);
    layout->addWidget(notes_, 1);
    table_->setFixedHeight(table_->horizontalHeader()->height() + 2 * table_->frameWidth() +
                           table_->verticalHeader()->length() + 4);
    return panel;
}

void AnalysisWindow::refreshTable()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelAnalysis& a = analyses_[static_cast<size_t>(ch)];
        const Figures& f = a.figures;
        const auto put = [&](int row, const QString& label, const QString& text) {
            QTableWidgetItem* item = table_->item(row, ch);
            item->setText(text);
            item->setToolTip(text);
            item->setData(Qt::AccessibleTextRole, QString("Channel %1, %2: %3").arg(ChannelLetter(ch)).arg(label, text));
        };
        put(0, "Range", rangeName(a.conditions.range));
        for (int r = 0; r < static_cast<int>(std::size(kRows)); ++r) {
            const Row& row = kRows[r];
            QString text;
            if (row.value != nullptr)
                text = number(f.*row.value, row.decimals);
            else if (row.figure != nullptr)
                text = figureText(f.*row.figure, row.decimals);
            else
                text = QString::number(r == 0 ? f.codes : f.decreasingSteps);
            put(kFirstRow + r, row.label, text);
        }
    }
}
