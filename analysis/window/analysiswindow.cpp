// The window's construction, its data and choices, and opening files.
#include "analysiswindow.h"
#include "plotview.h"

#include "analysis/report.h"
#include "controls/controlaccess.h"
#include "runtime/msgbox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <cmath>

using namespace analysis;

namespace {
AnalysisWindow* sweepWindow = nullptr;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
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
    source_->setWordWrap(true);
    source_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ShowsValue(source_, "Data shown");
    error_ = new QLabel(central);
    error_->setObjectName("Error");
    error_->setStyleSheet("color: #b00000; font-weight: bold;");
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ShowsValue(error_, "Error");
    error_->hide();
    layout->addWidget(source_);
    layout->addWidget(error_);
    layout->addWidget(buildControls());

    auto* split = new QSplitter(Qt::Horizontal, central);
    split->addWidget(buildPlots());
    split->addWidget(buildTable());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({700, 580});
    layout->addWidget(split, 1);
    setCentralWidget(central);
    resize(1280, 900);

    for (auto& c : chosen_.notes)
        c = "no data.";
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
    file->addAction("Export Every Code as C&SV...", this, [this] { exportFromMenu("codes"); });
    file->addAction("Export Plots as &PNG...", this, [this] { exportFromMenu("png"); });
    file->addAction("Export Plots as S&VG...", this, [this] { exportFromMenu("svg"); });
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

void AnalysisWindow::ShowSweep(SweepData data, const RecordedSweep* recorded, const QString& source)
{
    Chosen chosen = ChooseConditions(data, recorded, "the sweep", {});
    present(std::move(data), std::move(chosen), source);
}

bool AnalysisWindow::OpenFile(const QString& path, const Choice& choice, QString* why, bool fromMenu)
{
    if (IsResultsFile(QFile::encodeName(path).toStdString()))
        return openResults(path, why, fromMenu);
    SweepData data;
    ReadError error;
    const std::string file = QFile::encodeName(path).toStdString();
    if (!ReadSweepFile(file, data, error)) {
        const QString text = QString("Cannot read %1: %2").arg(path, fromUtf8(error.Text()));
        showError(text);
        if (fromMenu)
            MsgBox(text.toStdString(), MsgButtons::Ok, MsgIcon::Exclamation, windowTitle().toStdString());
        if (why != nullptr)
            *why = text;
        return false;
    }
    Chosen chosen = ChooseForFile(file, data, choice);
    QString source = QString("%1: %2 lines, %3 swept").arg(QFileInfo(path).fileName()).arg(data.lines).arg(data.samples());
    if (data.unswept() != 0)
        source += QString(" (the last %1 lines, all 0 V, taken as not swept)").arg(data.unswept());
    else if (data.zeroTail != 0)
        source += QString(" (the last %1 lines read 0 V on every channel, taken as readings)").arg(data.zeroTail);
    present(std::move(data), std::move(chosen), source);
    setWindowFilePath(path);
    return true;
}

void AnalysisWindow::present(SweepData data, Chosen chosen, const QString& source)
{
    data_ = std::move(data);
    results_.reset();
    chosen_ = std::move(chosen);
    changed_ = {};
    sourceText_ = source;
    error_->clear();
    error_->hide();
    xLo_ = 0;
    xHi_ = (1 << chosen_.channels[0].resolution) - 1;
    recompute();
}

void AnalysisWindow::showError(const QString& text)
{
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
    AnnounceNumberChange(error_);
}

void AnalysisWindow::SetRange(int channel, int range)
{
    if (channel < 0 || channel >= kChannels || range < 0 || range >= static_cast<int>(Ranges().size()))
        return;
    changed_.ranges[static_cast<size_t>(channel)] = range;
    recompute();
}

void AnalysisWindow::SetCoding(Coding coding)
{
    changed_.coding = coding;
    recompute();
}

void AnalysisWindow::SetResolution(int bits)
{
    if (!ValidResolution(bits))
        return;
    const double scale = std::ldexp(1.0, bits - resolution());
    changed_.resolution = bits;
    // Keeps the same stretch of the transfer in view.
    xLo_ *= scale;
    xHi_ *= scale;
    recompute();
}

void AnalysisWindow::SetChannelShown(int channel, bool shown) { shown_[static_cast<size_t>(channel)]->setChecked(shown); }

int AnalysisWindow::fullWidth() const { return (1 << resolution()) - 1; }

void AnalysisWindow::recompute()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        const size_t i = static_cast<size_t>(ch);
        Conditions c = chosen_.channels[i];
        // What the user changed here, over what was recorded or chosen.
        QStringList changes;
        if (changed_.ranges[i] && *changed_.ranges[i] != c.range) {
            c.range = *changed_.ranges[i];
            changes << "range " + fromUtf8(std::string(c.span().name));
        }
        if (changed_.coding && *changed_.coding != c.coding) {
            c.coding = *changed_.coding;
            changes << (c.coding == Coding::Binary ? "straight binary" : "two's complement");
        }
        if (changed_.resolution && *changed_.resolution != c.resolution) {
            c.resolution = *changed_.resolution;
            changes << QString("%1 bits").arg(c.resolution);
        }
        std::string note = chosen_.notes[i];
        if (!changes.isEmpty())
            note += " Changed in this window to " + changes.join(", ").toStdString() + ".";
        if (!results_) {
            Analyse(data_.volts[i], c, analyses_[i], note);
        } else if (ch == results_->header.channel) {
            AnalyseResults(*results_, c, analyses_[i], note);
        } else {  // a characterisation measures one channel: the others are empty, without notes
            analyses_[i].Reset(c, ResultsInstrument(results_->header));
            Evaluate(analyses_[i]);
            analyses_[i].notes.clear();
        }
        rangeBoxes_[i]->setCurrentIndex(c.range);
    }
    coding_box_->setCurrentIndex(analyses_[0].conditions.coding == Coding::Binary ? 0 : 1);
    resolution_box_->setCurrentIndex((16 - resolution()) / 2);
    source_->setText(sourceText_.isEmpty() ? "No data: open a data file from the File menu." : sourceText_);
    AnnounceNumberChange(source_);
    refreshTable();
    refreshNotes();
    xLo_ = std::clamp(xLo_, 0.0, static_cast<double>(fullWidth()));
    xHi_ = std::clamp(xHi_, xLo_, static_cast<double>(fullWidth()));
    if (xHi_ - xLo_ < 1)
        xLo_ = 0, xHi_ = fullWidth();
    refreshPlots();
}

void AnalysisWindow::refreshNotes()
{
    QStringList notes;
    if (!sourceText_.isEmpty())
        for (int ch = 0; ch < kChannels; ++ch)
            for (const std::string& n : Notes(ch, analyses_[static_cast<size_t>(ch)]))
                notes << fromUtf8(n);
    notes_->setText(notes.join("\n\n"));
    AnnounceNumberChange(notes_);
}

void AnalysisWindow::openFromMenu()
{
    const QString path = QFileDialog::getOpenFileName(this, "Open Sweep Data File", QString(),
                                                      "Sweep data or characterisation results (*.dat *.csv *.txt);;All files (*)");
    if (path.isEmpty())
        return;
    Choice choice;
    choice.coding = analyses_[0].conditions.coding;
    choice.resolution = resolution();
    OpenFile(path, choice, nullptr, true);
}

void AnalysisWindow::exportFromMenu(const QString& what)
{
    const QString filter = what == "png" ? "PNG image (*.png)" : what == "svg" ? "SVG image (*.svg)" : "CSV (*.csv)";
    const QString suffix = what == "codes" ? "-codes.csv" : "." + (what == "csv" || what == "codes" ? QString("csv") : what);
    const QString path = QFileDialog::getSaveFileName(this, "Export", "sweep-analysis" + suffix, filter);
    if (path.isEmpty())
        return;
    QString why;
    const bool ok = what == "csv"     ? ExportCsv(path, &why)
                    : what == "codes" ? ExportCodesCsv(path, &why)
                    : what == "png"   ? ExportPng(path, &why)
                                      : ExportSvg(path, &why);
    showError(ok ? QString() : QString("Cannot write %1: %2").arg(path, why));
    if (!ok)
        MsgBox(error_->text().toStdString(), MsgButtons::Ok, MsgIcon::Exclamation, windowTitle().toStdString());
}
