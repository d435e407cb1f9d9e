// The engine object: creation and release, properties, events.
#include "Merivox6/Quantara.h"

#include <algorithm>

#include "ErrorStack.h"
#include "QuantaraImpl.h"
#include "vb/VbError.h"

QuantaraEvents::~QuantaraEvents() = default;
void QuantaraEvents::StatStatus(std::string&) {}
void QuantaraEvents::RunScenarioBegin() {}
void QuantaraEvents::RunScenarioComplete(bool&, std::string&) {}

Quantara::Quantara() : m_(std::make_unique<Impl>()) {
    // A fresh error stack for this object; it never shows a box of its own.
    m_->m_ErrHandler = std::make_shared<CErr_Zelk>();
    m_->m_ErrHandler->DisplayError(false);
    SetErrStack(m_->m_ErrHandler);
}

Quantara::~Quantara() {
    // Close what this object opened from a path; release everything else.
    for (const auto& db : m_->openedFromPath) {
        try {
            if (db) db->Close();
        } catch (...) {}
    }
    m_->openedFromPath.clear();
    m_->databases = {};
    m_->saved = {};
}

namespace engine {

namespace {
bool HeldBySlot(const State& s, const dao::DatabasePtr& db) {
    for (const auto& held : s.databases) {
        if (held == db) return true;
    }
    for (const auto& held : s.saved) {
        if (held == db) return true;
    }
    return false;
}
}  // namespace

void CloseUnheldDatabases(State& s) {
    std::vector<dao::DatabasePtr> keep;
    for (const auto& db : s.openedFromPath) {
        if (HeldBySlot(s, db)) {
            keep.push_back(db);
            continue;
        }
        try {
            if (db) db->Close();
        } catch (...) {}
    }
    s.openedFromPath = std::move(keep);
}

void LetDatabase(State& s, DatabaseSlot slot, const vb::Variant& value) {
    if (value.IsString()) {
        // An open failure raises DAO's error and leaves the property as it was.
        dao::DatabasePtr db = dao::DBEngine().Workspaces(0)->OpenDatabase(value.String());
        s.databases[slot] = db;
        s.openedFromPath.push_back(db);
        CloseUnheldDatabases(s);
        return;
    }
    if (value.IsObject()) {
        const vb::ObjectPtr& object = value.Object();
        dao::DatabasePtr db;
        if (object) {
            db = std::dynamic_pointer_cast<dao::Database>(object);
            if (!db) vb::Raise(vb::err::kTypeMismatch);
        }
        // A database object handed in belongs to whoever handed it in.
        if (db) std::erase(s.openedFromPath, db);
        s.databases[slot] = db;
        CloseUnheldDatabases(s);
        return;
    }
    vb::Raise(vb::err::kInvalidObjectType, "Invalid object type: " + std::to_string(static_cast<int>(value.Type())));
}

void RaiseStatStatus(State& q, std::string& message) {
    const auto sinks = q.sinks;
    for (const auto& [cookie, sink] : sinks) sink->StatStatus(message);
}

void RaiseRunScenarioBegin(State& q) {
    const auto sinks = q.sinks;
    for (const auto& [cookie, sink] : sinks) sink->RunScenarioBegin();
}

void RaiseRunScenarioComplete(State& q, bool& fStatus, std::string& strError) {
    const auto sinks = q.sinks;
    for (const auto& [cookie, sink] : sinks) sink->RunScenarioComplete(fStatus, strError);
}

}  // namespace engine

dao::DatabasePtr Quantara::get_ScenarioDatabase() const { return m_->databases[engine::kScenarioDb]; }
void Quantara::put_ScenarioDatabase(const vb::Variant& v) { engine::LetDatabase(*m_, engine::kScenarioDb, v); }
void Quantara::putref_ScenarioDatabase(const dao::DatabasePtr& v) {
    engine::LetDatabase(*m_, engine::kScenarioDb, vb::Variant(vb::ObjectPtr(v)));
}
dao::DatabasePtr Quantara::get_SourceDatabase() const { return m_->databases[engine::kSourceDb]; }
void Quantara::put_SourceDatabase(const vb::Variant& v) { engine::LetDatabase(*m_, engine::kSourceDb, v); }
void Quantara::putref_SourceDatabase(const dao::DatabasePtr& v) {
    engine::LetDatabase(*m_, engine::kSourceDb, vb::Variant(vb::ObjectPtr(v)));
}
dao::DatabasePtr Quantara::get_OutputDatabase() const { return m_->databases[engine::kOutputDb]; }
void Quantara::put_OutputDatabase(const vb::Variant& v) { engine::LetDatabase(*m_, engine::kOutputDb, v); }
void Quantara::putref_OutputDatabase(const dao::DatabasePtr& v) {
    engine::LetDatabase(*m_, engine::kOutputDb, vb::Variant(vb::ObjectPtr(v)));
}

const std::string& Quantara::get_ScenarioTbl() const { return m_->tables.ScenarioTbl; }
void Quantara::put_ScenarioTbl(const std::string& v) { m_->tables.ScenarioTbl = v; }
const std::string& Quantara::get_OptionsTbl() const { return m_->tables.OptionsTbl; }
void Quantara::put_OptionsTbl(const std::string& v) { m_->tables.OptionsTbl = v; }
const std::string& Quantara::get_FieldTbl() const { return m_->tables.FieldTbl; }
void Quantara::put_FieldTbl(const std::string& v) { m_->tables.FieldTbl = v; }
const std::string& Quantara::get_SourceTableName() const { return m_->tables.SourceTableName; }
void Quantara::put_SourceTableName(const std::string& v) { m_->tables.SourceTableName = v; }
const std::string& Quantara::get_OutputTableName() const { return m_->tables.OutputTableName; }
void Quantara::put_OutputTableName(const std::string& v) { m_->tables.OutputTableName = v; }
const std::string& Quantara::get_OutputTableName2() const { return m_->tables.OutputTableName2; }
void Quantara::put_OutputTableName2(const std::string& v) { m_->tables.OutputTableName2 = v; }

const std::string& Quantara::get_ErrorInfo() const { return m_->ErrorInfo; }
bool Quantara::get_ShowProgress() const { return m_->ShowProgress; }
void Quantara::put_ShowProgress(bool v) { m_->ShowProgress = v; }
bool Quantara::get_ShowErrors() const { return m_->ShowErrors; }
void Quantara::put_ShowErrors(bool v) { m_->ShowErrors = v; }

int Quantara::Advise(QuantaraEvents* sink) {
    if (!sink) vb::Raise(vb::err::kInvalidProcedureCall);
    const int cookie = m_->nextCookie++;
    m_->sinks.emplace_back(cookie, sink);
    return cookie;
}

void Quantara::Unadvise(int cookie) {
    std::erase_if(m_->sinks, [cookie](const auto& entry) { return entry.first == cookie; });
}
