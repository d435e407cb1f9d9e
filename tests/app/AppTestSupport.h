// Helpers of the program's tests: a private settings, state and runtime
// folder for the whole test program, the recorder installed as the UI
// services, and answers to modal dialogs given from a timer so that no test
// waits on a dialog.
#pragma once

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ErrorStack.h"
#include "ui/RecordingUi.h"
#include "vb/App.h"

namespace apptest {

// Points the settings (registry files), the state folder (error report) and
// the runtime folder (single-instance socket) at one temporary folder.
class Environment {
public:
    Environment() {
        QDir(dir_.path()).mkpath("config");
        QDir(dir_.path()).mkpath("state");
        QDir(dir_.path()).mkpath("runtime");
        QFile::setPermissions(dir_.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toUtf8());
        qputenv("XDG_STATE_HOME", (dir_.path() + "/state").toUtf8());
        qputenv("XDG_RUNTIME_DIR", (dir_.path() + "/runtime").toUtf8());
        vb::App().title = "Quantara";
    }
    QString Path() const { return dir_.path(); }
    // Empties the settings, so each test starts as on a first run.
    void ClearSettings() {
        QDir config(dir_.path() + "/config");
        config.removeRecursively();
        QDir(dir_.path()).mkpath("config");
    }

private:
    QTemporaryDir dir_;
};

// Acts on the next modal dialog as soon as it is up: `act` receives it.
// Polls from a timer, so it works inside the dialog's own event loop.
inline void WhenModal(std::function<void(QWidget*)> act, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, elapsed, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
            return;
        }
        *elapsed += 20;
        if (*elapsed > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

// Clicks the named button of the next modal dialog.
inline void ClickInModal(const QString& buttonName) {
    WhenModal([buttonName](QWidget* modal) {
        if (auto* button = modal->findChild<QAbstractButton*>(buttonName)) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            modal->close();
        }
    });
}

// Cancels every "Open Scenario Database" dialog as soon as it is up and
// counts them; `seen` (when set) looks at each one first.
class OpenDialogCanceller {
public:
    OpenDialogCanceller() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal->objectName() != "frmOpenDatabase") return;
            ++count;
            if (seen) seen(modal);
            if (auto* cancel = modal->findChild<QAbstractButton*>("cmdCancel"))
                QTest::mouseClick(cancel, Qt::LeftButton);
        });
        timer_.start(10);
    }
    int count = 0;
    std::function<void(QWidget*)> seen;

private:
    QTimer timer_;
};

}  // namespace apptest
