#include "services/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

QString SingleInstance::ServerName() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + "/Merivox.instance";
    return QDir::tempPath() + "/Merivox-" + QString::number(::getuid()) + ".instance";
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::HandOffToRunning() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(1000)) return false;
    socket.write("activate\n");
    socket.flush();
    socket.waitForBytesWritten(1000);
    // Wait for the first one to read the knock before leaving.
    socket.waitForReadyRead(1000);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen(std::function<void()> onActivate) {
    onActivate_ = std::move(onActivate);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(ServerName())) {
        // A socket left by a program that ended without closing it.
        QLocalServer::removeServer(ServerName());
        if (!server_->listen(ServerName())) return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->readAll().startsWith("activate")) {
                    socket->write("ok\n");
                    socket->flush();
                    if (onActivate_) onActivate_();
                    emit Activated();
                }
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}
