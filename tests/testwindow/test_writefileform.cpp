// The file writer window: choosing the directory, saving with Enter and with
// the button, failed saves, and loading afresh after a close.
#include "board/adc.h"
#include "board/primitives.h"
#include "harness.h"
#include "testwindow/listboxes.h"
#include "testwindow/writefileform.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace {
QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList boxTexts()
{
    QStringList out;
    for (const auto& b : harness::ShownBoxes())
        out << QString::fromStdString(b.text);
    harness::ShownBoxes().clear();
    return out;
}
}  // namespace

class FileWriter : public QObject {
    Q_OBJECT
    WriteFileForm* form = nullptr;
    QTemporaryDir temp;
    QString startDir = QDir::currentPath();

private slots:
    void initTestCase()
    {
        harness::Setup(true);
        State.SampleCount = 65536;
        for (auto* v : {&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC, &State.SweepVoltsD})
            v->assign(65537, 99.0f);  // the extra element is never written out
        for (int i = 0; i < 65536; ++i) {
            State.SweepVoltsA[i] = AdcCodeToVolts(i % 8192);
            State.SweepVoltsB[i] = -AdcCodeToVolts(i % 8192);
            State.SweepVoltsC[i] = std::sin(static_cast<float>(i)) * 12.0f;  // not ADC values
            State.SweepVoltsD[i] = AdcCodeToVolts(8191 - i % 8192);
        }
        form = &WriteFileForm::Open();
    }

    void cleanupTestCase() { QDir::setCurrent(startDir); }

    void theDirectoryBoxSetsTheCurrentDirectory()
    {
        // Loading shows the current directory and changes nothing.
        QCOMPARE(form->WriteDir->path(), startDir);
        QCOMPARE(QDir::currentPath(), startDir);
        QVERIFY(startDir.startsWith(form->WriteDrive->currentText()));

        QDir(temp.path()).mkdir("runs");
        QFile(temp.filePath("old.dat")).open(QIODevice::WriteOnly);
        QVERIFY(form->WriteDir->setPath(temp.path()));
        QCOMPARE(QDir::currentPath(), temp.path());
        QCOMPARE(form->WriteList->count(), 1);

        form->WriteDir->setCurrentItem(form->WriteDir->findItems("runs", Qt::MatchEndsWith).value(0));
        QTest::keyClick(form->WriteDir, Qt::Key_Return);
        QTRY_COMPARE(QDir::currentPath(), temp.filePath("runs"));
    }

    void enterAndTheButtonSaveAlikeAndReplaceTheFile()
    {
        const QString target = temp.filePath("runs/Default.dat");  // the default name, in the chosen directory
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(5'000'000, 'x')) > 0);  // longer than the new
        old.close();

        QTest::keyClick(form->FileName, Qt::Key_Return);
        QCOMPARE(boxTexts(), QStringList{"File Written Successfully"});
        const QByteArray byEnter = contents(target);
        QVERIFY(byEnter.startsWith(" 0,-10, 10, 0, 9.997559\r\n 1,-9.997559, 9.997559,"));
        QCOMPARE(byEnter.count('\n'), 65536);  // every line, the last one whole
        QVERIFY(byEnter.contains("\r\n 65535, 9.997559,-9.997559,") && byEnter.endsWith(",-10\r\n"));

        form->HexOpt->setChecked(true);  // changes nothing in the file
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(boxTexts(), QStringList{"File Written Successfully"});
        QCOMPARE(contents(target), byEnter);
    }

    void aFailedSaveSaysSoAndTheNextLoadingStartsAfresh()
    {
        for (const QString name : {"no-such-dir/run1.dat", ""}) {
            form->FileName->setText(name);
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            QCOMPARE(boxTexts(), QStringList{"Error Creating File"});
            QVERIFY(form->isVisible());
        }
        QTest::mouseClick(form->Command2, Qt::LeftButton);  // "&Main Menu" only unloads the window
        QVERIFY(!form->isVisible() && !form->Loaded() && !harness::Ended());
        QCOMPARE(&WriteFileForm::Open(), form);
        QCOMPARE(form->FileName->text(), QString("Default.dat"));
        QVERIFY(form->DecimalOpt->isChecked());
    }
};

QTEST_MAIN(FileWriter)
#include "test_writefileform.moc"
