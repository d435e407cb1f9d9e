#include "ErrorStack.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "ErrorReport.h"
#include "dao/Dao.h"
#include "os/SystemInfo.h"
#include "ui/UiServices.h"
#include "vb/App.h"

CErr_Zelk::CErr_Zelk() { stack_.assign(size_t(upperBound_) + 1, std::string()); }

int CErr_Zelk::ConnectBeforeHandlerCalled(BeforeHandler handler) {
    connections_.push_back(Connection{nextConnection_, std::move(handler), {}});
    return nextConnection_++;
}

int CErr_Zelk::ConnectAfterHandlerCalled(AfterHandler handler) {
    connections_.push_back(Connection{nextConnection_, {}, std::move(handler)});
    return nextConnection_++;
}

void CErr_Zelk::Disconnect(int connection) {
    std::erase_if(connections_, [connection](const Connection& c) { return c.id == connection; });
}

std::string CErr_Zelk::DefaultDestination() { return os::TempFolder() + "ERRORS.TXT"; }

void CErr_Zelk::MaxItems(int32_t value) {
    if (value < 0 || value > 32765) vb::Raise(vb::err::kOverflow);
    maxItems_ = static_cast<int16_t>(value);
    upperBound_ = static_cast<int16_t>(value + 2);
    stack_.assign(size_t(upperBound_) + 1, std::string());
}

void CErr_Zelk::Destination(const vb::Variant& value) {
    if (value.IsString()) {
        destination_ = value;
        return;
    }
    if (value.IsObject() && IsRecordset(value.Object())) {
        destination_ = value;
        return;
    }
    throw vb::VbError(vb::err::kInvalidObjectType, "Invalid object type: " + std::to_string(int(value.Type())));
}

void CErr_Zelk::Push(const std::string& procedure) {
    if (depth_ == 32767) vb::Raise(vb::err::kOverflow);
    ++depth_;
    if (depth_ <= maxItems_) stack_[size_t(depth_)] = procedure;
}

void CErr_Zelk::Pop() {
    if (depth_ <= maxItems_ && depth_ >= 0) stack_[size_t(depth_)].clear();
    if (--depth_ < 0) depth_ = 0;
}

std::string CErr_Zelk::StackEntry(int depth) const {
    if (depth < 0 || depth >= static_cast<int>(stack_.size())) return {};
    return stack_[size_t(depth)];
}

std::string CErr_Zelk::MessageText() const {
    std::string text = "The following error has occurred in procedure: \r\n" + errProcedure_ + " on line " +
                       std::to_string(errLine_) + "\r\nError (" + std::to_string(errNumber_) + ") " + errDescription_;
    if (!currentOperation_.empty()) text += "\r\nCurrent Operation: " + currentOperation_;
    return text;
}

void CErr_Zelk::HandleError() {
    std::exception_ptr current = std::current_exception();
    if (!current) {
        HandleError(vb::VbError(0, ""));
        return;
    }
    try {
        std::rethrow_exception(current);
    } catch (const vb::VbError& error) {
        HandleError(error);
    } catch (const std::exception& error) {
        HandleError(vb::VbError(vb::err::kInvalidProcedureCall, error.what()));
    } catch (...) {
        HandleError(vb::VbError(vb::err::kInvalidProcedureCall, "Unknown error"));
    }
}

void CErr_Zelk::HandleError(const vb::VbError& error) {
    errNumber_ = error.Number();
    errLine_ = error.Line();
    errDescription_ = error.Description();
    errProcedure_ = depth_ <= maxItems_ ? stack_[size_t(depth_)] : std::string();
    if (appTitle_.empty()) appTitle_ = vb::App().title;

    bool cancel = false;
    for (auto& c : connections_)
        if (c.before) c.before(cancel);
    if (cancel) return;

    // From here on nothing may fail out of the handler.
    try {
        if (destination_.IsString()) WriteErrorReport();
    } catch (...) {}
    try {
        if (displayError_) {
            ui::Ui().Beep();
            ui::Ui().MsgBox(MessageText(), ui::vbCritical | ui::vbOKOnly, appTitle_);
        }
    } catch (...) {}
    for (auto& c : connections_) {
        try {
            if (c.after) c.after();
        } catch (...) {}
    }
}

bool CErr_Zelk::ClearLog() {
    try {
        if (destination_.IsString()) {
            std::error_code ec;
            std::filesystem::remove(destination_.String(), ec);
            return !ec;
        }
        if (destination_.IsObject()) return ClearRecordset(destination_.Object());
        return true;
    } catch (...) {
        return false;
    }
}

namespace {
// One per thread: engine objects working in two threads at once must not
// push and pop on one stack. Within a thread it is the deliverable's global.
std::shared_ptr<CErr_Zelk>& GlobalStack() {
    thread_local std::shared_ptr<CErr_Zelk> stack = std::make_shared<CErr_Zelk>();
    return stack;
}
}  // namespace

CErr_Zelk& ErrStack() { return *GlobalStack(); }

void SetErrStack(std::shared_ptr<CErr_Zelk> stack) {
    GlobalStack() = stack ? std::move(stack) : std::make_shared<CErr_Zelk>();
}

bool CErr_Zelk::WriteErrorReport() {
    if (!destination_.IsString()) return false;
    const std::string path = destination_.String();
    try {
        std::remove(path.c_str());
        common::ErrorFacts facts;
        facts.description = ErrDescription();
        facts.number = ErrNumber();
        facts.procedure = StackEntry(Depth());
        for (int i = 0; i <= UpperBound(); ++i) facts.procedures.push_back(StackEntry(i));
        facts.scenarioNumber = ScenarioNumber();
        facts.currentOperation = CurrentOperation();
        errReport_ = common::FormatErrorReport(facts);
        std::ofstream out(path, std::ios::binary | std::ios::app);
        if (!out) return false;
        out << errReport_ << "\r\n";
        out.close();
        return !out.fail();
    } catch (...) {
        return false;
    }
}

bool CErr_Zelk::IsRecordset(const vb::ObjectPtr& object) {
    return std::dynamic_pointer_cast<dao::Recordset>(object) != nullptr;
}

// Deletes every row; a failure part-way leaves the remaining rows.
bool CErr_Zelk::ClearRecordset(const vb::ObjectPtr& object) {
    auto rs = std::dynamic_pointer_cast<dao::Recordset>(object);
    if (!rs) return true;
    if (rs->RecordCount() == 0) return true;
    rs->MoveFirst();
    while (!rs->Eof()) {
        rs->Delete();
        rs->MoveNext();
    }
    return true;
}
