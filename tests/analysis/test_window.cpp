// The analysis window offscreen: on a file, its plots, table, choices,
// zoom, readout, exports and what assistive technology reads of it; and
// "Analyse Sweep" in the test window on the program's own sweep of a
// simulated 12-bit board with static errors, saved and read back from the
// file alone.
#include "analysis/window/analysiswindow.h"
#include "analysis/window/decimate.h"
#include "analysis/window/plotview.h"
#include "board/boardlink.h"
#include "board/ops.h"
#include "board/primitives.h"
#include "harness.h"
#include "runtime/msgbox.h"
#include "testwindow/testform.h"
#include "testwindow/writefileform.h"

#include <QAccessible>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>
#include <cmath>

namespace {
struct Pulse : PulseLdacSetting {
    bool PulseLdacTicked() const override { return true; }
} pulse;

// A data file of four ideal channels: +5V, +10V, ±5V, ±10V.
QString writeRamps(const QTemporaryDir& dir)
{
    const QString path = dir.filePath("ramps.dat");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    const double lo[] = {0, 0, -5, -10}, span[] = {5, 10, 10, 20};
    for (int i = 0; i < 65536; ++i) {
        QByteArray line = " " + QByteArray::number(i);
        for (int c = 0; c < 4; ++c)
            line += "," + QByteArray::number(lo[c] + span[c] * i / 65536, 'g', 7);
        f.write(line + "\r\n");
    }
    return path;
}

QString cell(const AnalysisWindow& w, int row, int channel) { return w.FiguresTable()->item(row, channel)->text(); }

// The table's rows by their header.
int row(const AnalysisWindow& w, const QString& label)
{
    for (int r = 0; r < w.FiguresTable()->rowCount(); ++r)
        if (w.FiguresTable()->verticalHeaderItem(r)->text() == label)
            return r;
    return -1;
}

// What assistive technology finds below the window: every name, value and
// description of its accessible tree, one line per element.
QStringList accessibleTexts(QWidget* window)
{
    QStringList out;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* a, int depth) {
        if (a == nullptr || depth > 40)
            return;
        out << a->text(QAccessible::Name) + " | " + a->text(QAccessible::Value) + " | " + a->text(QAccessible::Description);
        for (int i = 0; i < a->childCount(); ++i)
            walk(a->child(i), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(window), 0);
    return out;
}

bool reaches(const QStringList& texts, const QString& text)
{
    return std::any_of(texts.begin(), texts.end(), [&](const QString& t) { return t.contains(text); });
}

QList<QLineSeries*> shownSeries(PlotView* view)
{
    QList<QLineSeries*> out;
    for (auto* s : view->chart()->series())
        if (auto* line = qobject_cast<QLineSeries*>(s); line->count() > 2)
            out << line;
    return out;
}
}  // namespace

class AnalysisWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { harness::Setup(true, false); }

    void decimationKeepsEveryColumnsExtremes()
    {
        std::vector<double> y(10000, 0.0);
        y[4321] = 5;   // a one-point spike
        y[7000] = -3;
        y[100] = std::nan("");
        const QList<QPointF> points = DecimateMinMax(y, 0, 9999, 100);
        QVERIFY(points.size() <= 200);
        QVERIFY(points.contains(QPointF(4321, 5)) && points.contains(QPointF(7000, -3)));
        for (int i = 1; i < points.size(); ++i)
            QVERIFY(points[i].x() > points[i - 1].x());
        // Zoomed in, every point is kept, and one beyond each edge.
        QCOMPARE(DecimateMinMax(y, 10, 20, 100).size(), 13);
        double lo = 0, hi = 0;
        QVERIFY(VisibleExtent(y, 4000, 5000, lo, hi) && lo == 0 && hi == 5);
    }

    void opensOnAFileWithFourSeriesAndTheTable()
    {
        AnalysisWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.OpenFile(writeRamps(dir)));
        // No companion: the ranges guessed from the readings, and the figures
        // of ideal ramps, each with its uncertainty.
        const int fitting[] = {0, 1, 3, 4};
        const int inl = row(w, "INL best-fit, max (LSB)");
        for (int ch = 0; ch < 4; ++ch) {
            const auto& a = w.Analyses()[static_cast<size_t>(ch)];
            QCOMPARE(a.conditions.range, fitting[ch]);
            QCOMPARE(cell(w, row(w, "Codes measured"), ch), QString("65536"));
            QVERIFY(std::abs(a.figures.inlBestfitMaxLsb.value) <= 0.02);  // seven-digit readings
            QVERIFY(cell(w, inl, ch).contains(QString::fromUtf8(" \u00B1 ")));
            QVERIFY(a.notes[0].starts_with("straight binary and 16 bits assumed, as nothing recorded them; range guessed"));
        }
        QCOMPARE(cell(w, 0, 2), QString::fromUtf8("\u00B15V"));
        QCOMPARE(cell(w, row(w, "Bipolar-zero error (mV)"), 0), QString("n/a"));  // unipolar
        QCOMPARE(shownSeries(w.TransferPlot()).size(), 4);
        for (auto* s : shownSeries(w.TransferPlot()))
            QVERIFY(s->count() <= 2 * w.TransferPlot()->width());

        // What a screen reader reaches: the header, every figure with its
        // uncertainty, each channel's range box with its range, the notes.
        const QStringList texts = accessibleTexts(&w);
        QVERIFY(reaches(texts, "Data shown ramps.dat: 65536 lines"));
        QVERIFY(reaches(texts, QString::fromUtf8("\u00B15V | \u00B15V | Range of channel C")));
        QVERIFY(reaches(texts, "Channel D, Gain error (%): " + cell(w, row(w, "Gain error (%)"), 3)));
        QVERIFY(reaches(texts, "Notes on the figures Channel A: straight binary and 16 bits assumed"));
        QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(w.FiguresTable())->tableInterface();
        QVERIFY(table != nullptr);
        QCOMPARE(table->cellAt(row(w, "Offset error (mV)"), 1)->text(QAccessible::Name),
                 "Channel B, Offset error (mV): " + cell(w, row(w, "Offset error (mV)"), 1));

        // A range chosen recomputes at once: +5V data read as ±5V is no
        // transfer of that range, and the notes say both.
        QCOMPARE(w.RangeBox(0)->accessibleDescription(), QString("Range of channel A"));
        w.RangeBox(0)->setCurrentIndex(3);
        emit w.RangeBox(0)->activated(3);
        QCOMPARE(w.Analyses()[0].conditions.range, 3);
        QCOMPARE(cell(w, row(w, "Offset error (LSB)"), 0), QString("n/a"));
        QVERIFY(w.NotesLabel()->text().contains("Changed in this window to range " + QString::fromUtf8("\u00B1") + "5V."));
        QVERIFY(w.NotesLabel()->text().contains("Channel A: the output rises by 5.000 V"));
        w.SetCoding(analysis::Coding::TwosComplement);
        QCOMPARE(cell(w, row(w, "Decreasing steps"), 3).toInt(), 1);  // the ±10V ramp now steps down once
        QVERIFY(w.NotesLabel()->text().contains("Channel B: the board's ADC measures in steps of 16.0 LSB"));
        w.SetResolution(12);
        QCOMPARE(cell(w, 1, 1), QString("4096"));
        QVERIFY(!w.NotesLabel()->text().contains("steps of"));  // one LSB at 12 bits is no finer than the ADC
        w.SetChannelShown(1, false);
        QCOMPARE(shownSeries(w.TransferPlot()).size(), 3);

        // Zoom, readout, reset.
        w.ZoomTo(100, 200);
        QCOMPARE(w.TransferPlot()->xAxis()->min(), 100.0);
        QVERIFY(shownSeries(w.TransferPlot()).isEmpty() || shownSeries(w.TransferPlot())[0]->count() <= 103);
        w.ShowReadout(150);
        QVERIFY(w.HoverLabel()->text().startsWith("Position 150. A: code 0x"));
        QVERIFY(reaches(accessibleTexts(&w), "Readout at the pointer Position 150."));
        QTest::mouseDClick(w.TransferPlot()->viewport(), Qt::LeftButton);
        QCOMPARE(w.VisibleCodes(), std::make_pair(0.0, 4095.0));

        // Exports: the figures, every code, and pictures with the file's
        // name, a legend with the ranges and the table, but no readout.
        QVERIFY(w.ExportCsv(dir.filePath("f.csv")));
        QFile csv(dir.filePath("f.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly) && csv.readAll().count("\r\n") == 5);
        QVERIFY(w.ExportCodesCsv(dir.filePath("codes.csv")));
        QFile codes(dir.filePath("codes.csv"));
        QVERIFY(codes.open(QIODevice::ReadOnly));
        const QByteArray codeLines = codes.readAll();
        QCOMPARE(codeLines.count("\r\n"), 1 + 4 * 4096);
        QVERIFY(codeLines.startsWith("channel,position,code,volts_v,"));
        QVERIFY(w.ExportPng(dir.filePath("p.png")));
        QVERIFY(QImage(dir.filePath("p.png")).width() > w.TransferPlot()->width() + w.FiguresTable()->width());
        QVERIFY(w.ExportSvg(dir.filePath("p.svg")));
        QFile svgFile(dir.filePath("p.svg"));
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        const QString svg = QString::fromUtf8(svgFile.readAll());
        QVERIFY(svg.contains("<svg") && svg.contains("ramps.dat"));
        QVERIFY(svg.contains("Channel A, " + QString::fromUtf8("\u00B1") + "5V, two's complement, 12 bits"));
        QVERIFY(!svg.contains("Channel B, +10V"));  // not shown
        QVERIFY(svg.contains("Decreasing steps") && svg.contains("INL best-fit, max (LSB)"));
        QVERIFY(!svg.contains("Position 150"));
        QString why;
        QVERIFY(!w.ExportCsv(dir.filePath("no/such/dir.csv"), &why) && !why.isEmpty());

        // An unreadable file: the line is named and the data shown stays;
        // from the menu, a message box says it as well.
        QFile bad(dir.filePath("bad.dat"));
        bad.open(QIODevice::WriteOnly);
        bad.write(" 0, 1, 2, 3, 4\n 1, 1, x, 3, 4\n");
        bad.close();
        QVERIFY(!w.OpenFile(bad.fileName(), {}, &why));
        QVERIFY(why.contains("line 2: channel B ' x' is not a number"));
        QCOMPARE(w.Analyses()[2].figures.codes, 4096);
        QVERIFY(reaches(accessibleTexts(&w), "Error Cannot read " + bad.fileName() + ": line 2"));
        QFile named(dir.filePath("index.csv"));
        named.open(QIODevice::WriteOnly);
        named.write("index,A,B,C,D\r\n 0, 1, 2, 3, 4\r\n");
        named.close();
        harness::ShownBoxes().clear();
        QVERIFY(!w.OpenFile(named.fileName(), {}, &why, true));
        QCOMPARE(harness::ShownBoxes().size(), size_t{1});
        QCOMPARE(harness::ShownBoxes()[0].text, ("Cannot read " + named.fileName() +
                                                 ": line 1 holds names, not a sweep: 'index,A,B,C,D'; a sweep "
                                                 "data file has no header line, only index, A, B, C, D on every line")
                                                    .toStdString());
    }

    // The program's sweep of a 12-bit board with static errors, channels on
    // +5V, ±5V, +5V, ±5V, shows the errors back through "Analyse Sweep"; saved
    // from the test window, the file alone analyses as 12-bit on those ranges.
    void analyseSweepShowsTheBoardsErrors()
    {
        AttachPanel(&pulse, nullptr);
        Board().ConnectStep();
        State.ResolutionBits = 12;
        const int ranges[] = {0, 3, 0, 3};
        auto send = [](int16_t address, int16_t reg, int32_t data) { WriteFrame(address, reg, data); };
        send(0, 2, 0x1F);
        // The ranges as the board operations write them: the sweep records them.
        for (int16_t a = 0; a < 4; ++a)
            ops::WriteRange(a, static_cast<int16_t>(ranges[a]));
        TestForm& form = TestForm::Open();
        QVERIFY(!form.AnalyseSweep->isEnabled());

        // A sweep stopped at once still enables it, with nothing to show.
        form.Command2_Click();
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QVERIFY(form.AnalyseSweep->isEnabled());
        WriteFileForm::Open().close();
        QTest::mouseClick(form.AnalyseSweep, Qt::LeftButton);
        QCOMPARE(AnalysisWindow::ForSweep().Analyses()[0].figures.codes, 0);
        QVERIFY(AnalysisWindow::ForSweep().NotesLabel()->text().startsWith(
            "Channel A: range +5V, straight binary and 12 bits as the sweep recorded them.\n\n"
            "Channel A: no codes were measured"));

        QTest::mouseClick(form.Command1, Qt::LeftButton);
        WriteFileForm& writer = WriteFileForm::Open();
        const QString path = dir.filePath("sweep12.dat");
        writer.FileName->setText(path);
        writer.Command1_Click();
        writer.close();
        QTest::mouseClick(form.AnalyseSweep, Qt::LeftButton);
        AnalysisWindow& w = AnalysisWindow::ForSweep();
        QVERIFY(w.isVisible());
        QCOMPARE(w.Data().samples(), size_t{65536});

        AnalysisWindow fromFile;
        QVERIFY(fromFile.OpenFile(path));
        for (const AnalysisWindow* shown : std::vector<const AnalysisWindow*>{&w, &fromFile})
            for (int ch = 0; ch < 4; ++ch) {
                const auto& a = shown->Analyses()[static_cast<size_t>(ch)];
                QCOMPARE(a.conditions.range, ranges[ch]);
                QCOMPARE(a.conditions.resolution, 12);
                const auto within = [](const analysis::Figure& f, double truth) {
                    return f.known() && std::abs(f.value - truth) <= f.uncertainty;
                };
                QVERIFY2(within(a.figures.offsetErrorMv, 5), qPrintable(QString::number(a.figures.offsetErrorMv.value)));
                QVERIFY2(within(a.figures.gainErrorPercent, 0.03), qPrintable(QString::number(a.figures.gainErrorPercent.value)));
                QVERIFY2(within(a.figures.inlEndpointMaxLsb, 12), qPrintable(QString::number(a.figures.inlEndpointMaxLsb.value)));
            }
        QVERIFY(fromFile.Analyses()[0].notes[0].starts_with("range +5V, straight binary and 12 bits as the "
                                                            "companion file sweep12.dat.json recorded them."));
        QFile companion(path + ".json");
        QVERIFY(companion.open(QIODevice::ReadOnly));
        const QByteArray text = companion.readAll();
        QVERIFY(text.contains("\"part\": \"QV4812X\"") && text.contains("\"steps\": 65536"));
        QVERIFY(text.contains("\"board\": {\"simulated\": true, \"options\": \"only,resolution=12,offset-mv=5"));
    }
};

QTEST_MAIN(AnalysisWindowTest)
#include "test_window.moc"
