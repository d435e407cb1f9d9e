#include "forms/frmOptions.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "ProgramSettings.h"
#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"
#include "services/HelpTopics.h"

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    Guarded("frmOptions:Form_Load", [this] {
        setObjectName("frmOptions");
        setWindowTitle("Quantara Options");
        setProperty("HelpContextID", help::kOptions);

        auto* Label1 = new QLabel("Default Output Table Prefix:");
        Label1->setObjectName("Label1");
        txtDefaultPrefix_ = new QLineEdit;
        txtDefaultPrefix_->setObjectName("txtDefaultPrefix");
        txtDefaultPrefix_->installEventFilter(this);
        auto* cmdOK = new QPushButton("&OK");
        cmdOK->setObjectName("cmdOK");
        cmdOK->setDefault(true);
        auto* cmdCancel = new QPushButton("&Cancel");
        cmdCancel->setObjectName("cmdCancel");

        auto* grid = new QGridLayout(this);
        grid->addWidget(Label1, 0, 0);
        grid->addWidget(txtDefaultPrefix_, 0, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(cmdOK);
        buttons->addWidget(cmdCancel);
        grid->addLayout(buttons, 1, 0, 1, 2);
        setFixedSize(sizeHint().expandedTo(QSize(360, 0)));

        connect(cmdOK, &QPushButton::clicked, this, [this] {
            Guarded("frmOptions:cmdOK_Click", [this] {
                SaveOptionSettings();
                accept();
            });
        });
        connect(cmdCancel, &QPushButton::clicked, this,
                [this] { Guarded("frmOptions:cmdCancel_Click", [this] { reject(); }); });
        LoadControls();
    });
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    // Entering the box selects its whole text (after the focus handling has placed the cursor).
    if (watched == txtDefaultPrefix_ && FocusEntersBox(watched, event))
        QTimer::singleShot(0, txtDefaultPrefix_, [box = txtDefaultPrefix_] { SelectAllText(box); });
    return QDialog::eventFilter(watched, event);
}

void frmOptions::LoadControls() {
    Guarded("frmOptions:LoadControls", [this] {
        txtDefaultPrefix_->setText(QString::fromStdString(program::Settings().ReadEntry("OutputTablePrefix", "Brux_")));
        txtDefaultPrefix_->setProperty("Tag", txtDefaultPrefix_->text());
    });
}

void frmOptions::SaveOptionSettings() {
    Guarded("frmOptions:SaveOptionSettings", [this] {
        QString text = txtDefaultPrefix_->text();
        if (text != txtDefaultPrefix_->property("Tag").toString())
            program::Settings().WriteEntry("OutputTablePrefix", text.toStdString());
    });
}
