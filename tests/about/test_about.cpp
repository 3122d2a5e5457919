// The About box: starting the system information tool. (The start-up tests
// open it from the menu and read each generation's version.)
#include "board/boardlink.h"
#include "harness.h"
#include "about/registry.h"
#include "about/frmabout.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class AboutBox : public QObject {
    Q_OBJECT
    static constexpr uint32_t root = registry::kLocalMachine;
    QTemporaryDir temp;

    // An executable that leaves a mark beside itself when it runs.
    QString writeTool(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\ntouch \"$0.ran\"\n");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // Clicks "System Info..."; the message shown, or "ran" once `tool` has run.
    QString click(const QString& tool = {})
    {
        harness::ShownBoxes().clear();
        QFile::remove(tool + ".ran");
        QTest::mouseClick(frmAbout::Open().cmdSysInfo, Qt::LeftButton);
        if (!harness::ShownBoxes().empty())
            return QString::fromStdString(harness::ShownBoxes().front().text);
        return QTest::qWaitFor([&] { return QFile::exists(tool + ".ran"); }) ? "ran" : "nothing";
    }
    const QString ran = "ran", unavailable = "System Information Is Unavailable At This Time";

private slots:
    void initTestCase() { harness::Setup(true); }

    void startsTheToolTheKeysNameOrSaysItIsUnavailable()
    {
        registry::Clear();
        QCOMPARE(click(), unavailable);

        // The second key alone: only with the program file in its directory.
        registry::SetText(root, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", temp.path().toStdString());
        QCOMPARE(click(), unavailable);
        QCOMPARE(click(writeTool(temp.filePath("MSINFO32.EXE"))), ran);

        // The first key is started as it stands: no shell, spaces and all.
        const QString tool = writeTool(temp.filePath("sysinfo tool"));
        registry::SetText(root, registry::kSysInfoKey, registry::kSysInfoValue, tool.toStdString(), false);
        QCOMPARE(click(tool), ran);
        registry::SetText(root, registry::kSysInfoKey, registry::kSysInfoValue, temp.filePath("none").toStdString());
        QCOMPARE(click(), unavailable);

        // Left to itself, the first key names a known tool that PATH leads to: an
        // executable file (not the first name, unexecutable) in an absolute directory.
        const QByteArray path = qgetenv("PATH");
        QFile(temp.filePath("hardinfo")).open(QIODevice::WriteOnly);
        qputenv("PATH", "relative:" + temp.path().toUtf8());
        const QString found = writeTool(temp.filePath("kinfocenter"));
        registry::UseSystemDefaults();
        qputenv("PATH", path);
        QCOMPARE(click(found), ran);
    }
};

QTEST_MAIN(AboutBox)
#include "test_about.moc"
