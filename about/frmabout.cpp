#include "frmabout.h"

#include "board/boardlink.h"
#include "board/identity.h"
#include "runtime/guard.h"
#include "controls/ui.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace {
frmAbout* instance = nullptr;

QPixmap programIcon()
{
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        return icon.pixmap(32, 32);
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 51, 153));
    p.drawRoundedRect(QRectF(0, 0, 32, 32), 5, 5);
    p.setPen(Qt::white);
    p.setFont(ToolFont(9, true));
    p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, "QV");
    return pix;
}

// One element of the rule: a 1-pixel horizontal line of one colour.
QFrame* ruleLine(QWidget* parent, int index, const QColor& colour)
{
    auto* line = MakeControl<QFrame>(parent, index == 0 ? "Line1(0)" : "Line1(1)", "Separator");
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}
}  // namespace

frmAbout& frmAbout::Open()
{
    return OpenKept(instance, [] { return new frmAbout; });
}

bool frmAbout::Exists() { return instance != nullptr; }

frmAbout::frmAbout()
{
    setObjectName("frmAbout");
    setWindowTitle("About QV4816X Evaluation Software");
    setFont(ToolFont(8.25));
    setModal(false);

    picIcon = MakeControl<QLabel>(this, "picIcon", "Program icon");
    picIcon->setPixmap(programIcon());
    picIcon->setFixedSize(40, 40);
    picIcon->setAlignment(Qt::AlignCenter);

    lblTitle = MakeControl<QLabel>(this, "lblTitle", QString());
    lblTitle->setText("QV4816X Evaluation Board Software");
    lblTitle->setFont(ToolFont(12, true));
    lblVersion = MakeControl<QLabel>(this, "lblVersion", QString());
    lblVersion->setText("Version");
    lblDescription = MakeControl<QLabel>(this, "lblDescription", QString());
    lblDescription->setText("Evaluation tools group");
    lblDescription->setWordWrap(true);
    Label1 = MakeControl<QLabel>(this, "Label1", QString());
    Label1->setText("QV4816X evaluation board support");
    Label1->setWordWrap(true);

    Line1[0] = ruleLine(this, 0, QColor(128, 128, 128));
    Line1[1] = ruleLine(this, 1, QColor(255, 255, 255));

    cmdOK = MakeControl<QPushButton>(this, "cmdOK", "OK");
    cmdOK->setText("OK");
    cmdOK->setDefault(true);
    cmdSysInfo = MakeControl<QPushButton>(this, "cmdSysInfo", "System Info...");
    cmdSysInfo->setText("&System Info...");

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1, 1, 2);
    grid->addWidget(lblVersion, 1, 1, 1, 2);
    grid->addWidget(lblDescription, 2, 1, 1, 2);
    auto* rule = new QVBoxLayout;
    rule->setSpacing(0);
    rule->addWidget(Line1[0]);
    rule->addWidget(Line1[1]);
    grid->addLayout(rule, 3, 0, 1, 3);
    grid->addWidget(Label1, 4, 0, 2, 2);
    grid->addWidget(cmdOK, 4, 2);
    grid->addWidget(cmdSysInfo, 5, 2);
    grid->setColumnMinimumWidth(1, 240);

    connect(cmdOK, &QPushButton::clicked, this, QV_SLOT(cmdOK_Click));
    connect(cmdSysInfo, &QPushButton::clicked, this, QV_SLOT(cmdSysInfo_Click));
}

void frmAbout::Form_Load()
{
    loaded_ = true;
    const Edition& edition = CurrentEdition();
    lblVersion->setText(QString("Version %1.%2.%3").arg(edition.major).arg(edition.minor).arg(edition.revision) +
                        QString::fromStdString(SimulatedBoardMark()));
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::done(int result)
{
    loaded_ = false;
    QDialog::done(result);
}
