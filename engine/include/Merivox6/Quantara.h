// Quantara: the engine object. A client creates one, hands it the database
// that holds the scenario tables and runs a stored scenario (RunScenario), or
// computes a distribution probability (Probability) or its inverse
// (ProbInverse). Progress and completion arrive through QuantaraEvents.
//
// Property accessors follow the component conventions: get_X / put_X, and
// putref_X for object values. Optional arguments default to the Missing
// variant.
//
// Threads: separate objects may run in separate threads at once (each on
// databases of its own; a Database object is used by one thread at a time).
// Sharing one object between threads is not supported. Events are raised on
// the thread that called the method. RunScenario called again on the same
// object from one of its own event handlers is refused (it returns false
// and says why in ErrorInfo); the run under way goes on.
//
// A run takes the output file's write lock before it reads its data and
// holds it until it ends: another process writing to that file waits (up to
// the busy timeout) instead of making the run fail part-way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Merivox6/Export.h"
#include "Merivox6/QuantaraEvents.h"
#include "dao/Dao.h"
#include "vb/Variant.h"

class MERIVOX6_API Quantara {
public:
    Quantara();
    // Closes only the databases this object opened itself from a path and
    // still holds; a database handed in by the client is never closed.
    ~Quantara();
    Quantara(const Quantara&) = delete;
    Quantara& operator=(const Quantara&) = delete;

    // --- databases ---------------------------------------------------------
    // put_: a text opens that file in DBEngine.Workspaces(0); a Database
    // object (or an empty object) is held; anything else raises
    // vbObjectError + 1000 "Invalid object type: " and the variant type code.
    dao::DatabasePtr get_ScenarioDatabase() const;
    void put_ScenarioDatabase(const vb::Variant& vNewValue);
    void putref_ScenarioDatabase(const dao::DatabasePtr& vNewValue);
    dao::DatabasePtr get_SourceDatabase() const;
    void put_SourceDatabase(const vb::Variant& vNewValue);
    void putref_SourceDatabase(const dao::DatabasePtr& vNewValue);
    dao::DatabasePtr get_OutputDatabase() const;
    void put_OutputDatabase(const vb::Variant& vNewValue);
    void putref_OutputDatabase(const dao::DatabasePtr& vNewValue);

    // --- table names ---------------------------------------------------------
    const std::string& get_ScenarioTbl() const;
    void put_ScenarioTbl(const std::string& vNewValue);
    const std::string& get_OptionsTbl() const;
    void put_OptionsTbl(const std::string& vNewValue);
    const std::string& get_FieldTbl() const;
    void put_FieldTbl(const std::string& vNewValue);
    const std::string& get_SourceTableName() const;
    void put_SourceTableName(const std::string& vNewValue);
    const std::string& get_OutputTableName() const;
    void put_OutputTableName(const std::string& vNewValue);
    const std::string& get_OutputTableName2() const;
    void put_OutputTableName2(const std::string& vNewValue);

    // --- run state -------------------------------------------------------------
    // The error text of the last run; empty after success.
    const std::string& get_ErrorInfo() const;
    bool get_ShowProgress() const;
    void put_ShowProgress(bool vNewValue);
    bool get_ShowErrors() const;
    void put_ShowErrors(bool vNewValue);

    // --- methods ---------------------------------------------------------------
    // The test value whose probability of type "Z", "T", "C" or "F" is
    // dblProbability ("Z": two-sided). Bad arguments show a message box and give 0.
    double ProbInverse(const std::string& strProbType, double dblProbability, double dblDegreesOfFreedom1,
                       double dblDegreesOfFreedom2);
    // The tail probability of dblTestValue ("Z": two-sided). A type letter
    // outside Z, T, C, F shows a message box and gives 0.
    double Probability(const std::string& strProbType, double dblTestValue, double dblDegreesOfFreedom1,
                       double dblDegreesOfFreedom2);
    // Runs the stored scenario ScenarioNo. Database arguments: a path or a
    // Database object. Table-name arguments: texts. ShowProgress,
    // ShowErrors: Booleans. Returns whether the run succeeded (as possibly
    // changed by a RunScenarioComplete handler); ErrorInfo tells why not.
    bool RunScenario(const int32_t& ScenarioNo, const vb::Variant& ScenarioDb = vb::Variant::Missing(),
                     const vb::Variant& SourceDb = vb::Variant::Missing(),
                     const vb::Variant& OutputDb = vb::Variant::Missing(),
                     const vb::Variant& ScenarioTbl = vb::Variant::Missing(),
                     const vb::Variant& OptionsTbl = vb::Variant::Missing(),
                     const vb::Variant& FieldTbl = vb::Variant::Missing(),
                     const vb::Variant& SourceTableName = vb::Variant::Missing(),
                     const vb::Variant& OutputTableName = vb::Variant::Missing(),
                     const vb::Variant& OutputTableName2 = vb::Variant::Missing(),
                     const vb::Variant& ShowProgress = vb::Variant::Missing(),
                     const vb::Variant& ShowErrors = vb::Variant::Missing());

    // --- events ----------------------------------------------------------------
    // Connects a sink (not owned; it must outlive the connection) and returns
    // the connection's cookie.
    int Advise(QuantaraEvents* sink);
    void Unadvise(int cookie);

private:
    // The object's state and each run's context live inside the engine.
    struct Impl;
    friend struct QuantaraAccess;
    std::unique_ptr<Impl> m_;
};
