#include "services/CShellExecute.h"

#include <signal.h>

#include <QDir>
#include <QProcess>
#include <QStringList>
#include <filesystem>

#include "ui/UiServices.h"
#include "vb/VbError.h"

namespace {

template <class F>
int32_t Run(const char* operation, F&& body) {
    try {
        return body();
    } catch (const vb::VbError& e) {
        ui::MsgBox("Error: " + std::to_string(e.Number()) + ". " + e.Description(), ui::vbOKOnly, operation);
    } catch (const std::exception& e) {
        ui::MsgBox("Error: " + std::to_string(vb::err::kInvalidProcedureCall) + ". " + e.what(), ui::vbOKOnly,
                   operation);
    }
    return 0;
}

// A local path must exist; addresses go as they are.
int32_t OpenTarget(const std::string& target) {
    if (!target.empty() && target[0] == '/') {
        std::error_code ec;
        if (!std::filesystem::exists(target, ec)) return CShellExecute::kFileNotFound;
    }
    return ui::Ui().Open(target) ? -1 : CShellExecute::kNoAssociation;
}

}  // namespace

bool CShellExecute::StillExecuting() {
    try {
        if (instance_ == 0 || process_ <= 0) return false;
        return ::kill(process_, 0) == 0;
    } catch (...) {
        return false;
    }
}

int32_t CShellExecute::Explore(QWidget*, const std::string& folder, int) {
    return Run("Explore", [&] { return OpenTarget(folder); });
}

int32_t CShellExecute::LaunchDocument(QWidget*, const std::string& document, const std::string&, int) {
    return Run("LaunchDocument", [&] {
        int32_t result = OpenTarget(document);
        instance_ = result == -1 ? 33 : result;
        process_ = 0;  // the desktop starts the viewer; it is not ours to watch
        return result;
    });
}

int32_t CShellExecute::LaunchEmail(QWidget*, const std::string& address, int) {
    return Run("LaunchEmail", [&] { return OpenTarget("mailto:" + address); });
}

int32_t CShellExecute::LaunchFolder(QWidget*, const std::string& folder, int) {
    return Run("LaunchFolder", [&] { return OpenTarget(folder); });
}

int32_t CShellExecute::LaunchProgram(QWidget*, const std::string& program, const std::string& parameters,
                                     const std::string& directory, int) {
    return Run("LaunchProgram", [&] {
        qint64 pid = 0;
        QStringList args = QProcess::splitCommand(QString::fromStdString(parameters));
        bool started =
            QProcess::startDetached(QString::fromStdString(program), args,
                                    directory.empty() ? QDir::currentPath() : QString::fromStdString(directory), &pid);
        instance_ = started ? 33 : kFileNotFound;
        process_ = started ? static_cast<pid_t>(pid) : 0;
        return started ? -1 : kFileNotFound;
    });
}

int32_t CShellExecute::LaunchURL(QWidget*, const std::string& address, int) {
    return Run("LaunchURL", [&] { return OpenTarget(address); });
}

int32_t CShellExecute::PrintDocument(QWidget*, const std::string& document) {
    return Run("PrintDocument", [&] { return OpenTarget(document); });
}
