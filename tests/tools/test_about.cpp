// The About box: its texts and version, and starting the system information tool.
#include "board/boardlink.h"
#include "harness.h"
#include "platform/registry.h"
#include "tools/frmabout.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class AboutBox : public QObject {
    Q_OBJECT
    static constexpr uint32_t root = registry::kLocalMachine;
    static constexpr const char* locationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
    QTemporaryDir temp;

    // An executable that leaves a mark when it runs.
    QString writeTool(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QString("#!/bin/sh\ntouch '%1'\n").arg(temp.filePath("ran")).toUtf8());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // Clicks "System Info..."; true when the message that nothing is there was shown.
    bool unavailableAfterClick()
    {
        harness::ShownBoxes().clear();
        QFile::remove(temp.filePath("ran"));
        QTest::mouseClick(frmAbout::Open().cmdSysInfo, Qt::LeftButton);
        const auto& boxes = harness::ShownBoxes();
        return boxes.size() == 1 && boxes.front().text == "System Information Is Unavailable At This Time";
    }

private slots:
    void initTestCase() { harness::Setup(true); }

    void showsTheTitleAndTheVersionOfEachGeneration()
    {
        frmAbout& about = frmAbout::Open();
        QCOMPARE(about.windowTitle(), QString("About QV4816X Evaluation Software"));
        QCOMPARE(about.findChild<QLabel*>("lblTitle")->text(), QString("QV4816X Evaluation Board Software"));
        QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(), QString("Version 1.1.6"));

        QTest::mouseClick(about.cmdOK, Qt::LeftButton);
        QVERIFY(!about.isVisible() && !about.Loaded());
        UseEdition(FirstEdition());
        QCOMPARE(frmAbout::Open().lblVersion->text(), QString("Version 1.1.1"));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.Loaded());
        UseEdition(SecondEdition());
    }

    void startsTheToolTheKeysNameOrSaysItIsUnavailable()
    {
        registry::Clear();
        QVERIFY(unavailableAfterClick());
        QVERIFY(frmAbout::Open().isVisible());

        // The second key alone: only with the program file in its directory.
        registry::SetText(root, locationKey, "MSINFO", temp.path().toStdString());
        QVERIFY(unavailableAfterClick());
        writeTool(temp.filePath("MSINFO32.EXE"));
        QVERIFY(!unavailableAfterClick());
        QTRY_VERIFY(QFile::exists(temp.filePath("ran")));

        // The first key is started as it stands: no shell, spaces and all.
        const QString tool = writeTool(temp.filePath("sysinfo tool"));
        registry::SetText(root, registry::kSysInfoKey, registry::kSysInfoValue, tool.toStdString(), false);
        QVERIFY(!unavailableAfterClick());
        QTRY_VERIFY(QFile::exists(temp.filePath("ran")));
        registry::SetText(root, registry::kSysInfoKey, registry::kSysInfoValue, temp.filePath("none").toStdString());
        QVERIFY(unavailableAfterClick());
    }
};

QTEST_MAIN(AboutBox)
#include "test_about.moc"
