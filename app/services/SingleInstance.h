// One program per user: the first start listens on a local socket; a later
// start finds it there, asks it to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket's name: in $XDG_RUNTIME_DIR when set, else in the temporary folder, per user.
    static QString ServerName();

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance answered and was asked to activate itself.
    bool HandOffToRunning();
    // Starts listening; onActivate runs whenever a later start knocks.
    bool Listen(std::function<void()> onActivate);

signals:
    // A later start has knocked (after onActivate ran).
    void Activated();

private:
    QLocalServer* server_ = nullptr;
    std::function<void()> onActivate_;
};
