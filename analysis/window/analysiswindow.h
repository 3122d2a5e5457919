#pragma once
// The sweep analysis window: the transfer, INL and DNL of the channels the
// user ticks, on one shared code axis, and the table of figures with the
// range, coding and resolution they are computed for.
#include "analysis/datafile.h"
#include "analysis/figures.h"

#include <QMainWindow>
#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QTableWidget;
class PlotView;

class AnalysisWindow : public QMainWindow {
    Q_OBJECT
public:
    using RangeChoice = std::array<std::optional<int>, analysis::kChannels>;

    explicit AnalysisWindow(QWidget* parent = nullptr);

    // The window kept for the program's own sweep, created on first use.
    static AnalysisWindow& ForSweep();

    // Shows `data`; a channel without a range gets the one its readings fit
    // best. `source` says where the data came from.
    void ShowSweep(analysis::SweepData data, const RangeChoice& ranges, analysis::Coding coding, int resolution,
                   const QString& source);
    // Reads a data file and shows it. On failure the window keeps what it
    // showed and says why, naming the line; so does `why`.
    bool OpenFile(const QString& path, const RangeChoice& ranges = {},
                  analysis::Coding coding = analysis::Coding::Binary, int resolution = 16, QString* why = nullptr);

    // The user's choices, as the table and the boxes make them.
    // The "Open..." menu item's file dialog, as if it had been chosen.
    void AskForFile() { openFromMenu(); }
    void SetRange(int channel, int range);
    void SetCoding(analysis::Coding coding);
    void SetResolution(int bits);
    void SetChannelShown(int channel, bool shown);

    bool ExportCsv(const QString& path, QString* why = nullptr) const;
    bool ExportPng(const QString& path) const;
    bool ExportSvg(const QString& path) const;

    const std::array<analysis::ChannelAnalysis, analysis::kChannels>& Analyses() const { return analyses_; }
    const analysis::SweepData& Data() const { return data_; }
    QTableWidget* FiguresTable() const { return table_; }
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
    void recompute();
    void refreshTable();
    void refreshPlots();
    void refreshNotes();
    void openFromMenu();
    void exportFromMenu(const QString& what);
    int fullWidth() const;

    analysis::SweepData data_;
    std::array<analysis::ChannelAnalysis, analysis::kChannels> analyses_;
    std::array<int, analysis::kChannels> ranges_{};
    analysis::Coding coding_ = analysis::Coding::Binary;
    int resolution_ = 16;
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
