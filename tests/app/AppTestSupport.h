// Helpers of the program's tests: a private settings, state and runtime
// folder for the whole test program, the recorder installed as the UI
// services, and the one way the tests answer modal windows and menus.
#pragma once

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <source_location>
#include <vector>

#include "ErrorStack.h"
#include "ui/RecordingUi.h"
#include "vb/App.h"

namespace apptest {

// Answers modal windows for the tests. An answer waits for the next modal
// window (the next one with its object name, when it has one) and acts on it
// from inside that window's own event loop as soon as it shows; nothing
// sleeps or polls. No modal loop is left waiting, so a test fails instead of
// hanging:
// - a window that comes up in an event loop of its own (exec) with no answer
//   waiting for it is closed, and the test fails;
// - a window still up after a one-off answer goes to the next answer that
//   fits it, or else is closed, and the test fails; one still up after an
//   answer whose checks failed is closed;
// - a menu popped up in its own event loop that no WhenMenuShown closed is
//   closed, and the test fails;
// - a one-off answer that no window used within its deadline, or by the end
//   of its test (CheckModalAnswersUsed in cleanup()), fails the test, naming
//   the window it waited for and where the test gave it.
class ModalAnswers : public QObject {
public:
    using Act = std::function<void(QWidget*)>;
    // Long enough for a window behind a slow step on a loaded machine; the
    // ordinary failures (another window, or none) are told at once.
    static constexpr int kDeadlineMs = 60000;

    static ModalAnswers& Get() {
        static ModalAnswers* answers = new ModalAnswers;  // lives as long as the application
        return *answers;
    }

    // One answer; `name` empty: any modal window. Returns its key.
    int Add(const QString& name, Act act, int deadlineMs, bool every, const std::source_location& where) {
        const int key = ++lastKey_;
        answers_.push_back({key, name, std::move(act), every, Place(where)});
        if (!every) QTimer::singleShot(deadlineMs, this, [this, key, deadlineMs] { Expire(key, deadlineMs); });
        // A window that is up already is answered too.
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) Offer(modal, kShownBefore);
        return key;
    }
    void Remove(int key) {
        std::erase_if(answers_, [key](const Answer& a) { return a.key == key; });
    }
    // Fails the test for every one-off answer that no window used, and drops them.
    void CheckUsed() {
        QStringList unused;
        for (const Answer& a : answers_)
            if (!a.every) unused << What(a);
        std::erase_if(answers_, [](const Answer& a) { return !a.every; });
        if (!unused.isEmpty()) Fail("no window came for " + unused.join("; "));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const int level = QThread::currentThread()->loopLevel();
            if (auto* menu = qobject_cast<QMenu*>(widget))
                GuardMenu(menu, level);
            else if (widget->isWindow() && (widget->isModal() || widget->testAttribute(Qt::WA_ShowModal)))
                Offer(widget, level);
        }
        return false;
    }

private:
    struct Answer {
        int key;
        QString name;
        Act act;
        bool every;
        QString where;
    };
    // The level given for a window that was up before its answer came: it is
    // never taken for one that waits unanswered.
    static constexpr int kShownBefore = std::numeric_limits<int>::max();

    ModalAnswers() { qApp->installEventFilter(this); }

    static QString Place(const std::source_location& where) {
        return QFileInfo(QString::fromUtf8(where.file_name())).fileName() + ":" + QString::number(where.line());
    }
    static QString What(const Answer& a) {
        return "the answer given at " + a.where + " for " +
               (a.name.isEmpty() ? QString("the next modal window") : "the window " + a.name);
    }
    static QString Name(const QWidget* window) {
        return (window->objectName().isEmpty() ? QString(window->metaObject()->className()) : window->objectName()) +
               " (\"" + window->windowTitle() + "\")";
    }
    // The first failure of a test is the one it reports; later ones are warnings.
    static void Fail(const QString& message) {
        if (QTest::currentTestFailed())
            qWarning("%s", qPrintable(message));
        else
            QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    }

    bool Fits(const Answer& a, QWidget* window) const { return a.name.isEmpty() || a.name == window->objectName(); }

    // Acts on the window once its event loop runs, with the first answer that
    // fits it then. `shownAt` is the event-loop level it was shown at: deeper
    // now, it waits in a loop of its own. `after` names the answer it stayed
    // up after, if any.
    void Offer(QWidget* window, int shownAt, const QString& after = {}) {
        QPointer<QWidget> target(window);
        QTimer::singleShot(0, this, [this, target, shownAt, after] {
            if (!target || !target->isVisible() || QApplication::activeModalWidget() != target) return;
            const bool waiting = QThread::currentThread()->loopLevel() > shownAt;
            // An answer for this one window comes before one for every window of its name.
            auto found = std::find_if(answers_.begin(), answers_.end(),
                                      [&](const Answer& a) { return !a.every && Fits(a, target); });
            if (found == answers_.end())
                found =
                    std::find_if(answers_.begin(), answers_.end(), [&](const Answer& a) { return Fits(a, target); });
            if (found == answers_.end()) {
                if (!waiting) return;  // shown by the test itself, which drives it
                const QString message =
                    "the modal window " + Name(target) +
                    (after.isEmpty() ? " came with no answer waiting for it" : " stayed up after " + after) +
                    ": closed";
                target->hide();
                Fail(message);
                return;
            }
            const Answer answer = *found;
            if (!answer.every) answers_.erase(found);
            answer.act(target);
            if (!target || !target->isVisible() || QApplication::activeModalWidget() != target) return;
            if (QTest::currentTestFailed())
                target->hide();
            else if (!answer.every)
                Offer(target, shownAt, What(answer));
        });
    }

    // A menu that pops up in a loop of its own is closed by the test's
    // WhenMenuShown, whose call comes first; one still up then has none.
    void GuardMenu(QMenu* menu, int shownAt) {
        QPointer<QMenu> target(menu);
        QTimer::singleShot(0, this, [target, shownAt] {
            if (!target || !target->isVisible() || QThread::currentThread()->loopLevel() <= shownAt) return;
            target->hide();
            Fail("the menu " + Name(target) + " popped up with no WhenMenuShown to close it: closed");
        });
    }

    void Expire(int key, int deadlineMs) {
        auto found = std::find_if(answers_.begin(), answers_.end(), [key](const Answer& a) { return a.key == key; });
        if (found == answers_.end()) return;
        const QString message = What(*found) + " was not used within " + QString::number(deadlineMs) + " ms";
        answers_.erase(found);
        Fail(message);
    }

    std::vector<Answer> answers_;
    int lastKey_ = 0;
};

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
        // Modal windows are watched from the start: one that nothing answers
        // fails its test instead of waiting.
        if (qApp) ModalAnswers::Get();
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

// Acts on the next modal window, whatever its name.
inline void WhenModal(ModalAnswers::Act act, int deadlineMs = ModalAnswers::kDeadlineMs,
                      const std::source_location& where = std::source_location::current()) {
    ModalAnswers::Get().Add({}, std::move(act), deadlineMs, false, where);
}

// Acts on the next modal window with this object name (others are left alone).
inline void WhenModalNamed(const QString& name, ModalAnswers::Act act, int deadlineMs = ModalAnswers::kDeadlineMs,
                           const std::source_location& where = std::source_location::current()) {
    ModalAnswers::Get().Add(name, std::move(act), deadlineMs, false, where);
}

// In every cleanup() of a test that answers modal windows: an answer that no
// window used fails the test that gave it, and answers nothing later.
inline void CheckModalAnswersUsed() { ModalAnswers::Get().CheckUsed(); }

// Clicks the named button of the next modal dialog.
inline void ClickInModal(const QString& buttonName,
                         const std::source_location& where = std::source_location::current()) {
    WhenModal(
        [buttonName](QWidget* modal) {
            if (auto* button = modal->findChild<QAbstractButton*>(buttonName)) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                modal->close();
            }
        },
        ModalAnswers::kDeadlineMs, where);
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
        : key_(ModalAnswers::Get().Add(name, std::move(act), 0, true, std::source_location::current())) {}
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
