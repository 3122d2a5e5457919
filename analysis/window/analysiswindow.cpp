// The window's construction, its data and choices, and the table of figures.
#include "analysiswindow.h"
#include "plotview.h"

#include "analysis/report.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

using namespace analysis;

namespace {

AnalysisWindow* sweepWindow = nullptr;

struct Row {
    const char* label;
    double Figures::*value;   // a plain number, or
    Figure Figures::*figure;  // a figure with its uncertainty; both nullptr: a row of its own kind
    int decimals;
};

// The table's rows under the range choice.
const Row kRows[] = {
    {"Codes measured", nullptr, nullptr, 0},
    {"LSB (mV)", &Figures::lsbMv, nullptr, 5},
    {"Measurement step (LSB)", &Figures::measurementStepLsb, nullptr, 2},
    {"Offset error (LSB)", nullptr, &Figures::offsetErrorLsb, 2},
    {"Offset error (mV)", nullptr, &Figures::offsetErrorMv, 3},
    {"Gain error (%)", nullptr, &Figures::gainErrorPercent, 4},
    {"INL end-point, max (LSB)", nullptr, &Figures::inlEndpointMaxLsb, 2},
    {"INL best-fit, max (LSB)", nullptr, &Figures::inlBestfitMaxLsb, 2},
    {"DNL min (LSB)", nullptr, &Figures::dnlMinLsb, 2},
    {"DNL max (LSB)", nullptr, &Figures::dnlMaxLsb, 2},
    {"Decreasing steps", nullptr, nullptr, 0},
};

QString figureText(double v, int decimals)
{
    if (!std::isfinite(v))
        return "n/a";
    if (v == 0)
        v = 0;
    return QString::number(v, 'f', decimals);
}

QString figureText(const Figure& f, int decimals)
{
    if (!f.known())
        return "n/a";
    return figureText(f.value, decimals) + QString::fromUtf8(" \u00B1 ") + figureText(f.uncertainty, decimals);
}

}  // namespace

AnalysisWindow::AnalysisWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("AnalysisWindow");
    setWindowTitle("QV4816X Sweep Analysis");
    buildMenus();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    source_ = new QLabel(central);
    source_->setObjectName("Source");
    source_->setAccessibleName("Data shown");
    source_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    error_ = new QLabel(central);
    error_->setObjectName("Error");
    error_->setAccessibleName("Error");
    error_->setStyleSheet("color: #b00000; font-weight: bold;");
    error_->setWordWrap(true);
    error_->hide();
    layout->addWidget(source_);
    layout->addWidget(error_);
    layout->addWidget(buildControls());

    auto* split = new QSplitter(Qt::Horizontal, central);
    split->addWidget(buildPlots());
    split->addWidget(buildTable());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({820, 460});
    layout->addWidget(split, 1);
    setCentralWidget(central);
    resize(1280, 860);

    for (auto& a : analyses_)
        a = Analyse({}, Conditions{});
    recompute();
}

AnalysisWindow& AnalysisWindow::ForSweep()
{
    if (sweepWindow == nullptr)
        sweepWindow = new AnalysisWindow;
    return *sweepWindow;
}

void AnalysisWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open Data File...", QKeySequence::Open, this, [this] { openFromMenu(); });
    file->addSeparator();
    file->addAction("Export Figures as &CSV...", this, [this] { exportFromMenu("csv"); });
    file->addAction("Export Plots as &PNG...", this, [this] { exportFromMenu("png"); });
    file->addAction("Export Plots as &SVG...", this, [this] { exportFromMenu("svg"); });
    file->addSeparator();
    file->addAction("&Close", QKeySequence::Close, this, &QWidget::close);
}

QWidget* AnalysisWindow::buildControls()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel("Channels:", row));
    for (int ch = 0; ch < kChannels; ++ch) {
        auto* box = new QCheckBox(QString(QChar(ChannelLetter(ch))), row);
        box->setObjectName(QString("Show%1").arg(ChannelLetter(ch)));
        box->setAccessibleName(QString("Show channel %1").arg(ChannelLetter(ch)));
        box->setChecked(true);
        // The boxes are the plots' legend: each in its channel's colour.
        box->setStyleSheet(QString("QCheckBox { color: %1; font-weight: bold; }").arg(ChannelColour(ch).name()));
        connect(box, &QCheckBox::toggled, this, [this] { refreshPlots(); });
        shown_[static_cast<size_t>(ch)] = box;
        layout->addWidget(box);
    }
    layout->addSpacing(16);

    auto addChoice = [&](const QString& label, const QString& name, const QStringList& items) {
        auto* caption = new QLabel(label, row);
        auto* box = new QComboBox(row);
        box->setObjectName(name);
        box->addItems(items);
        caption->setBuddy(box);
        layout->addWidget(caption);
        layout->addWidget(box);
        return box;
    };
    coding_box_ = addChoice("C&oding:", "Coding", {"Straight binary", "Two's complement"});
    resolution_box_ = addChoice("&Resolution:", "Resolution", {"16 bits", "14 bits", "12 bits"});
    inlMethod_ = addChoice("&INL plot:", "InlMethod", {"End-point", "Best-fit"});
    connect(coding_box_, &QComboBox::activated, this, [this](int i) {
        SetCoding(i == 0 ? Coding::Binary : Coding::TwosComplement);
    });
    connect(resolution_box_, &QComboBox::activated, this, [this](int i) { SetResolution(16 - 2 * i); });
    connect(inlMethod_, &QComboBox::activated, this, [this] { refreshPlots(); });
    layout->addStretch(1);
    return row;
}

QWidget* AnalysisWindow::buildTable()
{
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    table_ = new QTableWidget(1 + static_cast<int>(std::size(kRows)), kChannels, panel);
    table_->setObjectName("Figures");
    table_->setAccessibleName("Figures per channel");
    table_->setAccessibleDescription("One column per channel; the first row chooses the channel's output range.");
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
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 10);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int ch = 0; ch < kChannels; ++ch) {
        auto* box = new QComboBox(table_);
        box->setObjectName(QString("Range%1").arg(ChannelLetter(ch)));
        box->setAccessibleName(QString("Range of channel %1").arg(ChannelLetter(ch)));
        for (const Range& r : Ranges())
            box->addItem(QString::fromUtf8(r.name.data(), static_cast<qsizetype>(r.name.size())));
        connect(box, &QComboBox::activated, this, [this, ch](int i) { SetRange(ch, i); });
        table_->setCellWidget(0, ch, box);
        rangeBoxes_[static_cast<size_t>(ch)] = box;
        for (int r = 1; r < table_->rowCount(); ++r) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, ch, item);
        }
    }
    table_->setMinimumWidth(440);
    notes_ = new QLabel(panel);
    notes_->setObjectName("Notes");
    notes_->setAccessibleName("Notes on the figures");
    notes_->setWordWrap(true);
    notes_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(table_, 0);
    layout->addWidget(notes_, 1);
    table_->setFixedHeight(table_->horizontalHeader()->height() + 2 * table_->frameWidth() +
                           table_->verticalHeader()->length() + 4);
    return panel;
}

void AnalysisWindow::ShowSweep(SweepData data, const RangeChoice& ranges, Coding coding, int resolution,
                               const QString& source)
{
    data_ = std::move(data);
    for (int ch = 0; ch < kChannels; ++ch)
        ranges_[static_cast<size_t>(ch)] = ranges[static_cast<size_t>(ch)].value_or(DefaultRange(data_.volts[static_cast<size_t>(ch)]));
    coding_ = coding;
    resolution_ = ValidResolution(resolution) ? resolution : 16;
    sourceText_ = source;
    error_->clear();
    error_->hide();
    xLo_ = 0;
    xHi_ = fullWidth();
    recompute();
}

bool AnalysisWindow::OpenFile(const QString& path, const RangeChoice& ranges, Coding coding, int resolution,
                              QString* why)
{
    SweepData data;
    ReadError error;
    if (!ReadSweepFile(path.toStdString(), data, error)) {
        const QString text = QString("Cannot read %1: %2").arg(path, QString::fromStdString(error.Text()));
        error_->setText(text);
        error_->show();
        if (why != nullptr)
            *why = text;
        return false;
    }
    QString source = QString("%1: %2 lines, %3 swept").arg(QFileInfo(path).fileName()).arg(data.lines).arg(data.samples());
    if (data.unswept() != 0)
        source += QString(" (the last %1 lines, all 0 V, taken as not swept)").arg(data.unswept());
    ShowSweep(std::move(data), ranges, coding, resolution, source);
    setWindowFilePath(path);
    return true;
}

void AnalysisWindow::SetRange(int channel, int range)
{
    if (channel < 0 || channel >= kChannels || range < 0 || range >= static_cast<int>(Ranges().size()))
        return;
    ranges_[static_cast<size_t>(channel)] = range;
    recompute();
}

void AnalysisWindow::SetCoding(Coding coding)
{
    coding_ = coding;
    recompute();
}

void AnalysisWindow::SetResolution(int bits)
{
    if (!ValidResolution(bits))
        return;
    const double scale = std::ldexp(1.0, bits - resolution_);
    resolution_ = bits;
    // Keeps the same stretch of the transfer in view.
    xLo_ *= scale;
    xHi_ *= scale;
    recompute();
}

void AnalysisWindow::SetChannelShown(int channel, bool shown) { shown_[static_cast<size_t>(channel)]->setChecked(shown); }

int AnalysisWindow::fullWidth() const { return (1 << resolution_) - 1; }

void AnalysisWindow::recompute()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        const Conditions c{ranges_[static_cast<size_t>(ch)], coding_, resolution_};
        Analyse(data_.volts[static_cast<size_t>(ch)], c, analyses_[static_cast<size_t>(ch)]);
        rangeBoxes_[static_cast<size_t>(ch)]->setCurrentIndex(c.range);
    }
    coding_box_->setCurrentIndex(coding_ == Coding::Binary ? 0 : 1);
    resolution_box_->setCurrentIndex((16 - resolution_) / 2);
    source_->setText(sourceText_.isEmpty() ? "No data: open a data file from the File menu." : sourceText_);
    refreshTable();
    refreshNotes();
    xLo_ = std::clamp(xLo_, 0.0, static_cast<double>(fullWidth()));
    xHi_ = std::clamp(xHi_, xLo_, static_cast<double>(fullWidth()));
    if (xHi_ - xLo_ < 1)
        xLo_ = 0, xHi_ = fullWidth();
    refreshPlots();
}

void AnalysisWindow::refreshTable()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        const Figures& f = analyses_[static_cast<size_t>(ch)].figures;
        for (int r = 0; r < static_cast<int>(std::size(kRows)); ++r) {
            const Row& row = kRows[r];
            QString text;
            if (row.value != nullptr)
                text = figureText(f.*row.value, row.decimals);
            else if (row.figure != nullptr)
                text = figureText(f.*row.figure, row.decimals);
            else
                text = QString::number(r == 0 ? f.codes : f.decreasingSteps);
            QTableWidgetItem* item = table_->item(r + 1, ch);
            item->setText(text);
            item->setData(Qt::AccessibleTextRole,
                          QString("Channel %1, %2: %3").arg(ChannelLetter(ch)).arg(row.label, text));
        }
    }
}

void AnalysisWindow::refreshNotes()
{
    QStringList notes;
    for (int ch = 0; ch < kChannels; ++ch)
        for (const std::string& n : Notes(ch, analyses_[static_cast<size_t>(ch)]))
            notes << QString::fromStdString(n);
    notes_->setText(notes.join("\n\n"));
}

void AnalysisWindow::openFromMenu()
{
    const QString path = QFileDialog::getOpenFileName(this, "Open Sweep Data File", QString(),
                                                      "Sweep data (*.dat *.csv *.txt);;All files (*)");
    if (!path.isEmpty())
        OpenFile(path, {}, coding_, resolution_);
}

void AnalysisWindow::exportFromMenu(const QString& what)
{
    const QString filter = what == "csv" ? "CSV (*.csv)" : what == "png" ? "PNG image (*.png)" : "SVG image (*.svg)";
    QString path = QFileDialog::getSaveFileName(this, "Export", "sweep-analysis." + what, filter);
    if (path.isEmpty())
        return;
    QString why;
    const bool ok = what == "csv" ? ExportCsv(path, &why) : what == "png" ? ExportPng(path) : ExportSvg(path);
    error_->setVisible(!ok);
    error_->setText(ok ? QString() : QString("Cannot write %1 %2").arg(path, why));
}
