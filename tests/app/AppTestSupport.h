// Helpers of the program's tests: a private settings, state and runtime
// folder for the whole test program, the recorder installed as the UI
// services, and the one way the tests answer modal windows.
#pragma once

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

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

// Answers modal windows for the tests. An answer waits for the next modal
// window (the next one with its object name, when it has one) and acts on it
// from inside that window's own event loop as soon as it shows; nothing
// sleeps or polls. So that a test fails instead of hanging: a window still up
// after an answer whose checks failed is closed, and an answer for a named
// window that has not come within its deadline closes the modal window that
// stands in its way and fails the test.
class ModalAnswers : public QObject {
public:
    using Act = std::function<void(QWidget*)>;

    static ModalAnswers& Get() {
        static ModalAnswers* answers = new ModalAnswers;  // lives as long as the application
        return *answers;
    }

    // One answer; `name` empty: any modal window. Returns its key.
    int Add(const QString& name, Act act, int timeoutMs, bool every = false) {
        const int key = ++lastKey_;
        answers_.push_back({key, name, std::move(act), every});
        if (!every) QTimer::singleShot(timeoutMs, this, [this, key] { Expire(key); });
        // A window that is up already is answered too.
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) Offer(modal);
        return key;
    }
    void Remove(int key) {
        std::erase_if(answers_, [key](const Answer& a) { return a.key == key; });
    }
    // Drops every waiting answer (a test's leftovers must not answer the next test's windows).
    void Forget() {
        std::erase_if(answers_, [](const Answer& a) { return !a.every; });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && (widget->isModal() || widget->testAttribute(Qt::WA_ShowModal))) Offer(widget);
        }
        return false;
    }

private:
    struct Answer {
        int key;
        QString name;
        Act act;
        bool every;
    };

    ModalAnswers() { qApp->installEventFilter(this); }

    bool Fits(const Answer& a, QWidget* window) const { return a.name.isEmpty() || a.name == window->objectName(); }

    // Acts on the window once its event loop runs, with the first answer that fits it then.
    void Offer(QWidget* window) {
        QPointer<QWidget> target(window);
        QTimer::singleShot(0, this, [this, target] {
            if (!target || !target->isVisible() || QApplication::activeModalWidget() != target) return;
            // An answer for this one window comes before one for every window of its name.
            auto found = std::find_if(answers_.begin(), answers_.end(),
                                      [&](const Answer& a) { return !a.every && Fits(a, target); });
            if (found == answers_.end())
                found =
                    std::find_if(answers_.begin(), answers_.end(), [&](const Answer& a) { return Fits(a, target); });
            if (found == answers_.end()) return;
            const Answer answer = *found;
            if (!answer.every) answers_.erase(found);
            answer.act(target);
            if (target && target->isVisible() && QTest::currentTestFailed()) target->hide();
        });
    }

    void Expire(int key) {
        auto found = std::find_if(answers_.begin(), answers_.end(), [key](const Answer& a) { return a.key == key; });
        if (found == answers_.end()) return;
        const QString name = found->name;
        answers_.erase(found);
        QWidget* modal = QApplication::activeModalWidget();
        if (name.isEmpty() || !modal || !modal->isVisible()) return;
        const QString message = "no window " + name + " came; " + modal->objectName() + " stayed up instead";
        modal->hide();
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    }

    std::vector<Answer> answers_;
    int lastKey_ = 0;
};

// Acts on the next modal window, whatever its name.
inline void WhenModal(ModalAnswers::Act act, int timeoutMs = 5000) {
    ModalAnswers::Get().Add({}, std::move(act), timeoutMs);
}

// Acts on the next modal window with this object name (others are left alone).
inline void WhenModalNamed(const QString& name, ModalAnswers::Act act, int timeoutMs = 10000) {
    ModalAnswers::Get().Add(name, std::move(act), timeoutMs);
}

inline void ForgetModalAnswers() { ModalAnswers::Get().Forget(); }

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

// Acts on the next pop-up of `menu` from inside its own event loop, then
// closes it when the act left it open. Record in the act and compare after
// the pop-up returns, so that a failed check never leaves a menu open.
inline void WhenMenuShown(QMenu* menu, std::function<void(QMenu*)> act) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, act, connection] {
        QObject::disconnect(*connection);
        QTimer::singleShot(0, menu, [menu, act] {
            act(menu);
            if (menu->isVisible()) menu->hide();
        });
    });
}

// Answers every modal window with this object name while it lives.
class EveryModalNamed {
public:
    EveryModalNamed(const QString& name, ModalAnswers::Act act)
        : key_(ModalAnswers::Get().Add(name, std::move(act), 0, true)) {}
    ~EveryModalNamed() { ModalAnswers::Get().Remove(key_); }
    EveryModalNamed(const EveryModalNamed&) = delete;
    EveryModalNamed& operator=(const EveryModalNamed&) = delete;

private:
    int key_;
};

// Cancels every "Open Scenario Database" dialog as soon as it is up and
// counts them; `seen` (when set) looks at each one first.
class OpenDialogCanceller {
public:
    OpenDialogCanceller()
        : answer_("frmOpenDatabase", [this](QWidget* modal) {
              ++count;
              if (seen) seen(modal);
              if (auto* cancel = modal->findChild<QAbstractButton*>("cmdCancel"))
                  QTest::mouseClick(cancel, Qt::LeftButton);
          }) {}
    int count = 0;
    std::function<void(QWidget*)> seen;

private:
    EveryModalNamed answer_;
};

}  // namespace apptest
