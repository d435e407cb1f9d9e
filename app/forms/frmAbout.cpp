#include "forms/frmAbout.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "shell/ProgramInfo.h"
#include "services/ErrorBoundary.h"
#include "services/HelpKey.h"
#include "services/HelpTopics.h"
#include "vb/App.h"

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle(QString("About ") + program::kAppTitle);
    setProperty("HelpContextID", help::kAbout);

    auto* imgAbout = new QLabel;
    imgAbout->setObjectName("imgAbout");
    imgAbout->setPixmap(QApplication::windowIcon().isNull()
                            ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48)
                            : QApplication::windowIcon().pixmap(48, 48));
    auto* lblTitle = new QLabel(program::kProgramTitle);
    lblTitle->setObjectName("lblTitle");
    QFont big = lblTitle->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    lblTitle->setFont(big);
    const vb::AppInfo& app = vb::App();
    auto* lblVersion = new QLabel(QString("Version %1.%2.%3").arg(app.major).arg(app.minor).arg(app.revision));
    lblVersion->setObjectName("lblVersion");
    auto* lblDescription = new QLabel("Saved statistical analyses, run against the tables of your own database.");
    lblDescription->setObjectName("lblDescription");
    lblDescription->setWordWrap(true);

    auto* cmdOK = new QPushButton("OK");
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    auto* cmdHelp = new QPushButton("Help");
    cmdHelp->setObjectName("cmdHelp");

    auto* grid = new QGridLayout(this);
    grid->addWidget(imgAbout, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdHelp);
    grid->addLayout(buttons, 3, 0, 1, 2);
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));

    connect(cmdOK, &QPushButton::clicked, this, [this] { Guarded("frmAbout:cmdOK_Click", [this] { accept(); }); });
    connect(cmdHelp, &QPushButton::clicked, this,
            [this] { Guarded("frmAbout:cmdHelp_Click", [this] { ShowHelpFor(this); }); });
}
