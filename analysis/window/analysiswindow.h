#pragma once
// The sweep analysis window: the transfer, INL and DNL of the channels the
// user ticks, on one shared code axis, and the table of figures, each with
// its uncertainty, under the range, coding and resolution the sweep recorded
// (or the user chose, or the readings suggest), with notes that say which and
// why a figure is unknown.
#include "analysis/conditions.h"
#include "analysis/datafile.h"
#include "analysis/figures.h"
#include "analysis/results.h"

#include <QMainWindow>
#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QPainter;
class QTableWidget;
class PlotView;

class AnalysisWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit AnalysisWindow(QWidget* parent = nullptr);

    // The window kept for the program's own sweep, created on first use.
    static AnalysisWindow& ForSweep();

    // Shows a sweep in memory under what `recorded` (null: nothing) says
    // it ran under; `source` says where the data came from.
    void ShowSweep(analysis::SweepData data, const analysis::RecordedSweep* recorded, const QString& source);
    // Reads a data file, and its companion file when there is one, and shows
    // them (a characterisation's results file: its channel, at the codes
    // measured, under the conditions it recorded); `choice` serves where nothing recorded the conditions. On failure
    // the window keeps what it showed and says why, naming the line; so does
    // `why`. `fromMenu`: the reason goes to a message box as well.
    bool OpenFile(const QString& path, const analysis::Choice& choice = {}, QString* why = nullptr,
                  bool fromMenu = false);

    // The user's choices in the window, over what was recorded.
    // The "Open..." menu item's file dialog, as if it had been chosen.
    void AskForFile() { openFromMenu(); }
    void SetRange(int channel, int range);
    void SetCoding(analysis::Coding coding);
    void SetResolution(int bits);
    void SetChannelShown(int channel, bool shown);

    // The figures (one line per channel), every code measured (one line per
    // position), the plots with legend, file name, ranges and figures.
    bool ExportCsv(const QString& path, QString* why = nullptr) const;
    bool ExportCodesCsv(const QString& path, QString* why = nullptr) const;
    bool ExportPng(const QString& path, QString* why = nullptr) const;
    bool ExportSvg(const QString& path, QString* why = nullptr) const;

    const std::array<analysis::ChannelAnalysis, analysis::kChannels>& Analyses() const { return analyses_; }
    const analysis::SweepData& Data() const { return data_; }
    QTableWidget* FiguresTable() const { return table_; }
    QComboBox* RangeBox(int channel) const { return rangeBoxes_[static_cast<size_t>(channel & 3)]; }
    QLabel* SourceLabel() const { return source_; }
    QLabel* ErrorLabel() const { return error_; }
    QLabel* NotesLabel() const { return notes_; }
    QLabel* HoverLabel() const { return hover_; }
    PlotView* TransferPlot() const { return transferView_; }
    // Shows the codes lo..hi on all three plots; ResetZoom shows every code.
    void ZoomTo(double lo, double hi);
    void ResetZoom();
    std::pair<double, double> VisibleCodes() const { return {xLo_, xHi_}; }
    // The readout for the code position under the pointer.
    void ShowReadout(double x);

private:
    void buildMenus();
    QWidget* buildControls();
    QWidget* buildPlots();
    QWidget* buildTable();
    void present(analysis::SweepData data, analysis::Chosen chosen, const QString& source);
    // A characterisation's results file: its one channel, at the codes measured.
    bool openResults(const QString& path, QString* why, bool fromMenu);
    void showError(const QString& text);
    void recompute();
    void refreshTable();
    void refreshPlots();
    void refreshNotes();
    void openFromMenu();
    void exportFromMenu(const QString& what);
    int fullWidth() const;
    int resolution() const { return analyses_[0].conditions.resolution; }
    // The export's picture: the source, a legend with each channel's range,
    // the three plots, the table of figures and the notes.
    QSize exportSize() const;
    void paintExport(QPainter& painter) const;

    analysis::SweepData data_;
    std::optional<analysis::Results> results_;  // shown instead of data_ when set
    analysis::Chosen chosen_;    // as recorded, chosen on opening, or guessed
    analysis::Choice changed_;   // what the user changed here since
    std::array<analysis::ChannelAnalysis, analysis::kChannels> analyses_;
    double xLo_ = 0;
    double xHi_ = 65535;
    bool applyingRange_ = false;
    QString sourceText_;

    QLabel* source_ = nullptr;
    QLabel* error_ = nullptr;
    std::array<QCheckBox*, analysis::kChannels> shown_{};
    QComboBox* coding_box_ = nullptr;
    QComboBox* resolution_box_ = nullptr;
    QComboBox* inlMethod_ = nullptr;
    std::array<QComboBox*, analysis::kChannels> rangeBoxes_{};
    QWidget* plots_ = nullptr;
    PlotView* transferView_ = nullptr;
    PlotView* inlView_ = nullptr;
    PlotView* dnlView_ = nullptr;
    std::array<QLineSeries*, analysis::kChannels> measured_{};
    std::array<QLineSeries*, analysis::kChannels> ideal_{};
    std::array<QLineSeries*, analysis::kChannels> inl_{};
    std::array<QLineSeries*, analysis::kChannels> dnl_{};
    QLabel* hover_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* notes_ = nullptr;
};
