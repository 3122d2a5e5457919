// The analysis window offscreen: on a file, its plots, table, choices,
// zoom, readout and exports; and "Analyse Sweep" in the test window on the
// program's own sweep of a simulated board with static errors.
#include "analysis/window/analysiswindow.h"
#include "analysis/window/decimate.h"
#include "analysis/window/plotview.h"
#include "board/boardlink.h"
#include "board/ops.h"
#include "board/primitives.h"
#include "harness.h"
#include "testwindow/testform.h"
#include "testwindow/writefileform.h"

#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
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
        // The ranges the readings fit best, and the figures of ideal ramps.
        const int fitting[] = {0, 1, 3, 4};
        for (int ch = 0; ch < 4; ++ch) {
            QCOMPARE(w.Analyses()[static_cast<size_t>(ch)].conditions.range, fitting[ch]);
            QCOMPARE(cell(w, 1, ch), QString("65536"));
            QVERIFY(std::abs(cell(w, 8, ch).toDouble()) <= 0.02);  // best-fit INL of seven-digit readings
        }
        QCOMPARE(shownSeries(w.TransferPlot()).size(), 4);
        for (auto* s : shownSeries(w.TransferPlot()))
            QVERIFY(s->count() <= 2 * w.TransferPlot()->width());
        QVERIFY(w.FiguresTable()->item(6, 0)->data(Qt::AccessibleTextRole).toString().startsWith("Channel A, Gain error"));

        // A range chosen in the table recomputes at once: +5V data read as ±5V.
        auto* rangeA = qobject_cast<QComboBox*>(w.FiguresTable()->cellWidget(0, 0));
        QCOMPARE(rangeA->accessibleName(), QString("Range of channel A"));
        rangeA->setCurrentIndex(3);
        emit rangeA->activated(3);
        QCOMPARE(w.Analyses()[0].conditions.range, 3);
        QCOMPARE(cell(w, 4, 0).toDouble(), 5000 / (10000.0 / 65536));  // 5 V offset, in LSB
        w.SetCoding(analysis::Coding::TwosComplement);
        QVERIFY(cell(w, 11, 3).toInt() == 1);  // the ±10V ramp now steps down once
        QVERIFY(w.NotesLabel()->text().contains("Channel D: the board's ADC measures in steps of 8.0 LSB"));
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
        QTest::mouseDClick(w.TransferPlot()->viewport(), Qt::LeftButton);
        QCOMPARE(w.VisibleCodes(), std::make_pair(0.0, 4095.0));

        // Exports.
        QVERIFY(w.ExportCsv(dir.filePath("f.csv")));
        QFile csv(dir.filePath("f.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly) && csv.readAll().count("\r\n") == 5);
        QVERIFY(w.ExportPng(dir.filePath("p.png")));
        QVERIFY(!QImage(dir.filePath("p.png")).isNull());
        QVERIFY(w.ExportSvg(dir.filePath("p.svg")));
        QFile svg(dir.filePath("p.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly) && svg.readAll().contains("<svg"));
        QString why;
        QVERIFY(!w.ExportCsv(dir.filePath("no/such/dir.csv"), &why) && !why.isEmpty());

        // An unreadable file: the line is named and the data shown stays.
        QFile bad(dir.filePath("bad.dat"));
        bad.open(QIODevice::WriteOnly);
        bad.write(" 0, 1, 2, 3, 4\n 1, 1, x, 3, 4\n");
        bad.close();
        QVERIFY(!w.OpenFile(bad.fileName(), {}, analysis::Coding::Binary, 16, &why));
        QVERIFY(why.contains("line 2: channel B ' x' is not a number"));
        QCOMPARE(w.Analyses()[2].figures.codes, 4096);
    }

    // The program's sweep of a 12-bit board with static errors, channels on
    // +5V, ±5V, +5V, ±5V, shows the errors back through "Analyse Sweep".
    void analyseSweepShowsTheBoardsErrors()
    {
        harness::Setup(true, false);
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
        QVERIFY(AnalysisWindow::ForSweep().NotesLabel()->text().startsWith("Channel A: no codes were measured"));

        QTest::mouseClick(form.Command1, Qt::LeftButton);
        WriteFileForm::Open().close();
        QTest::mouseClick(form.AnalyseSweep, Qt::LeftButton);
        AnalysisWindow& w = AnalysisWindow::ForSweep();
        QVERIFY(w.isVisible());
        QCOMPARE(w.Data().samples(), size_t{65536});
        for (int ch = 0; ch < 4; ++ch) {
            const auto& a = w.Analyses()[static_cast<size_t>(ch)];
            QCOMPARE(a.conditions.range, ranges[ch]);
            QCOMPARE(a.conditions.resolution, 12);
            const double step = a.figures.measurementStepLsb;
            QVERIFY2(std::abs(a.figures.offsetErrorMv - 5) <= 2.45, qPrintable(QString::number(a.figures.offsetErrorMv)));
            QVERIFY2(std::abs(a.figures.gainErrorPercent - 0.03) <= 0.1, qPrintable(QString::number(a.figures.gainErrorPercent)));
            QVERIFY2(std::abs(a.figures.inlEndpointMaxLsb - 12) <= step,
                     qPrintable(QString::number(a.figures.inlEndpointMaxLsb)));
        }
    }
};

QTEST_MAIN(AnalysisWindowTest)
#include "test_window.moc"
