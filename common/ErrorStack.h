// CErr_Zelk: a deliverable's error stack. Procedures push their name on
// entry and pop it on the way out (ProcScope does both, popping on normal
// exit only, so an error leaves the stack showing where it happened); an
// error handler calls HandleError, which records the error, lets the owner
// veto or react through two events, writes the error report and shows a
// message box.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vb/Variant.h"

class CErr_Zelk {
public:
    CErr_Zelk();

    // Events, raised synchronously inside HandleError, in connection order.
    using BeforeHandler = std::function<void(bool& cancel)>;
    using AfterHandler = std::function<void()>;
    int ConnectBeforeHandlerCalled(BeforeHandler handler);
    int ConnectAfterHandlerCalled(AfterHandler handler);
    void Disconnect(int connection);

    int32_t ScenarioNumber() const { return scenarioNumber_; }
    void ScenarioNumber(int32_t value) { scenarioNumber_ = value; }
    int16_t MaxItems() const { return maxItems_; }
    // Re-creates the stack with every entry empty; Depth stays. Error 6 above 32765 or below 0.
    void MaxItems(int32_t value);
    bool ExpandedInfo() const { return expandedInfo_; }
    void ExpandedInfo(bool value) { expandedInfo_ = value; }
    bool DisplayError() const { return displayError_; }
    void DisplayError(bool value) { displayError_ = value; }
    // A string (the report file's path) or a record set.
    const vb::Variant& Destination() const { return destination_; }
    // Anything else raises kInvalidObjectType, "Invalid object type: " and the variant type code.
    void Destination(const vb::Variant& value);

    // Empties the destination; false when any step failed.
    bool ClearLog();
    // Handles the error being handled in the current catch block (a VbError,
    // any other std::exception as error 5 with its text, or anything else).
    void HandleError();
    void HandleError(const vb::VbError& error);
    void Push(const std::string& procedure);
    void Pop();

    // Visible inside the deliverable.
    int32_t ErrNumber() const { return errNumber_; }
    int32_t ErrLine() const { return errLine_; }
    const std::string& ErrDescription() const { return errDescription_; }
    const std::string& ErrReport() const { return errReport_; }
    const std::string& ErrProcedure() const { return errProcedure_; }
    const std::string& AppTitle() const { return appTitle_; }
    void AppTitle(const std::string& value) { appTitle_ = value; }
    const std::string& CurrentOperation() const { return currentOperation_; }
    void CurrentOperation(const std::string& value) { currentOperation_ = value; }

    int16_t Depth() const { return depth_; }
    int16_t UpperBound() const { return upperBound_; }
    // Entry d of the stack ("" above the stored depths).
    std::string StackEntry(int depth) const;

    // The text HandleError shows in its message box.
    std::string MessageText() const;

private:
    // Writes the report file to the string destination and sets ErrReport;
    // false (and no file) when it cannot be written.
    bool WriteErrorReport();
    static std::string DefaultDestination();
    // A record-set destination: recognised, and emptied by ClearLog.
    static bool IsRecordset(const vb::ObjectPtr& object);
    static bool ClearRecordset(const vb::ObjectPtr& object);

    int16_t maxItems_ = 20;
    bool expandedInfo_ = true;
    bool displayError_ = true;
    int32_t scenarioNumber_ = 0;
    int32_t errNumber_ = 0;
    int32_t errLine_ = 0;
    std::string errDescription_;
    std::string errReport_;
    std::string errProcedure_;
    std::string appTitle_;
    // The default report file lies in the temporary folder, never in
    // whatever folder the process happens to run in.
    vb::Variant destination_{DefaultDestination()};
    std::string currentOperation_;
    std::vector<std::string> stack_;
    int16_t depth_ = 0;
    int16_t upperBound_ = 22;

    struct Connection {
        int id;
        BeforeHandler before;
        AfterHandler after;
    };
    std::vector<Connection> connections_;
    int nextConnection_ = 1;
};

// Pushes a procedure name for the life of a scope and pops it on normal exit
// only: when the scope is left by an exception the name stays on the stack.
class ProcScope {
public:
    ProcScope(CErr_Zelk& stack, const std::string& procedure) : stack_(stack), exceptions_(std::uncaught_exceptions()) {
        stack_.Push(procedure);
    }
    ~ProcScope() {
        if (std::uncaught_exceptions() == exceptions_) stack_.Pop();
    }
    ProcScope(const ProcScope&) = delete;
    ProcScope& operator=(const ProcScope&) = delete;

private:
    CErr_Zelk& stack_;
    int exceptions_;
};

// The deliverable's one global error stack: the program makes it at start,
// the engine makes a fresh one for every engine object. Each deliverable links
// its own copy of this library, so each has its own global; it is global per
// thread, so engine objects in different threads keep their stacks apart.
CErr_Zelk& ErrStack();
void SetErrStack(std::shared_ptr<CErr_Zelk> stack);
