// The file writer window: what it shows when loaded, choosing the directory,
// saving with the button and with Enter, and failed saves.
#include "board/adc.h"
#include "board/declare.h"
#include "harness.h"
#include "tools/listboxes.h"
#include "tools/writefileform.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

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
            v->assign(65537, 0.0f);
        State.SweepVoltsA[0] = AdcCodeToVolts(0);
        State.SweepVoltsA[1] = AdcCodeToVolts(1);
        form = &WriteFileForm::Open();
    }

    void init() { harness::ShownBoxes().clear(); }
    void cleanupTestCase() { QDir::setCurrent(startDir); }

    void loadsWithTheDefaultNameInTheCurrentDirectory()
    {
        QCOMPARE(form->findChild<QLineEdit*>("FileName")->text(), QString("Default.dat"));
        QVERIFY(form->findChild<QRadioButton*>("DecimalOpt")->isChecked());
        QCOMPARE(form->findChild<QLabel*>("Label1")->buddy(), form->FileName);
        QCOMPARE(form->WriteDir->path(), startDir);
        QCOMPARE(QDir::currentPath(), startDir);  // loading changes nothing
        QVERIFY(startDir.startsWith(form->WriteDrive->currentText()));
    }

    void theDirectoryBoxGoesDownAndUpAndSetsTheCurrentDirectory()
    {
        QDir(temp.path()).mkdir("runs");
        QFile(temp.filePath("old.dat")).open(QIODevice::WriteOnly);
        QVERIFY(form->WriteDir->setPath(temp.path()));
        QCOMPARE(QDir::currentPath(), temp.path());
        QCOMPARE(form->WriteList->count(), 1);

        form->WriteDir->setCurrentItem(form->WriteDir->findItems("runs", Qt::MatchEndsWith).value(0));
        QTest::keyClick(form->WriteDir, Qt::Key_Return);
        QTRY_COMPARE(QDir::currentPath(), temp.filePath("runs"));
        QCOMPARE(form->WriteList->count(), 0);
        form->WriteDir->setCurrentRow(form->WriteDir->currentRow() - 1);  // the parent, above
        QTest::keyClick(form->WriteDir, Qt::Key_Return);
        QTRY_COMPARE(QDir::currentPath(), temp.path());
        QCOMPARE(form->WriteList->count(), 1);

        // A drive that cannot be entered: the drive box goes back, silently.
        const QString drive = form->WriteDrive->currentText();
        form->WriteDrive->addItem("/no-such-drive");
        form->WriteDrive->setCurrentIndex(form->WriteDrive->count() - 1);
        form->WriteDrive_Change();
        QCOMPARE(form->WriteDrive->currentText(), drive);
        QCOMPARE(QDir::currentPath(), temp.path());
        QVERIFY(boxTexts().isEmpty());
    }

    void enterAndTheButtonSaveAlikeAndReplaceTheFile()
    {
        const QString target = temp.filePath("Default.dat");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5'000'000, 'x'));  // longer than the new file
        old.close();

        QTest::keyClick(form->FileName, Qt::Key_Return);
        QCOMPARE(boxTexts(), QStringList{"File Written Successfully"});
        QCOMPARE(form->FileName->text(), QString("Default.dat"));
        const QByteArray byEnter = contents(target);
        QCOMPARE(byEnter.count('\n'), 65536);
        QVERIFY(byEnter.startsWith(" 0,-10, 0, 0, 0\r\n 1,-9.997559, 0, 0, 0\r\n"));

        form->HexOpt->setChecked(true);  // changes nothing in the file
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(boxTexts().size(), 2);
        QCOMPARE(contents(target), byEnter);
    }

    void aFailedSaveSaysSoAndKeepsTheWindowOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing directory") << "no-such-dir/run1.dat";
        QTest::newRow("empty name") << "";
        QTest::newRow("full device") << "/dev/full";
    }

    void aFailedSaveSaysSoAndKeepsTheWindowOpen()
    {
        QFETCH(QString, name);
        form->FileName->setText(name);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(boxTexts(), QStringList{"Error Creating File"});
        QVERIFY(form->isVisible());
    }

    void closingUnloadsAndTheNextShowingLoadsAgain()
    {
        form->FileName->setText("other.dat");
        form->HexOpt->setChecked(true);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(!form->isVisible() && !form->Loaded());
        QCOMPARE(&WriteFileForm::Open(), form);
        QCOMPARE(form->FileName->text(), QString("Default.dat"));
        QVERIFY(form->DecimalOpt->isChecked());
        QVERIFY(!harness::Ended());
    }
};

QTEST_MAIN(FileWriter)
#include "test_writefileform.moc"
