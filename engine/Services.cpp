// Services of the engine object that the run itself relies on: progress,
// the missing-value condition, result-table creation and dropping, the
// default frequency intervals and the analyses' transactions.
#include <algorithm>

#include "ErrorStack.h"
#include "Merivox6/Quantara.h"
#include "QuantaraImpl.h"
#include "StatsGeneral.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

void Quantara::Quarn_Msg(const int32_t& lngRecord, const bool& fForce, const std::string& strText) {
    // Called per row: the name is made once.
    static const std::string kProc = "Quarn_Msg";
    ProcScope scope(ErrStack(), kProc);
    if (!m_->ShowStatus) return;
    std::string message;
    if (lngRecord == 0) {
        message = strText + "...";
    } else if (lngRecord % 5 == 0 || fForce) {
        message = strText.empty() ? "Analyzing record: " + std::to_string(lngRecord) : strText;
    }
    if (!message.empty()) engine::RaiseStatStatus(*this, message);
}

std::string Quantara::Quarn_DataWhere(const std::string& strField) const {
    ProcScope scope(ErrStack(), "Quarn_DataWhere");
    const std::string& mode = m_->MissingType;
    // Numbers go into SQL in the C locale, whatever the user's locale.
    if (vb::EqualsNoCase(mode, "Equal")) return "(" + strField + " <> " + vb::NumberToSql(m_->MissingEqual) + ")";
    if (vb::EqualsNoCase(mode, "Both")) {
        return "(" + strField + " Between " + vb::NumberToSql(m_->MissingLow) + " And " +
               vb::NumberToSql(m_->MissingHigh) + ")";
    }
    if (vb::EqualsNoCase(mode, "High")) return "(" + strField + " <= " + vb::NumberToSql(m_->MissingHigh) + ")";
    if (vb::EqualsNoCase(mode, "Low")) return "(" + strField + " >= " + vb::NumberToSql(m_->MissingLow) + ")";
    return {};
}

std::string Quantara::Quarn_CreateTable(const dao::TableDefPtr& tdf, bool fOpen) {
    ProcScope scope(ErrStack(), "Quarn_CreateTable");
    const dao::DatabasePtr db = get_OutputDatabase();
    std::string result;
    try {
        db->TableDefs()->Append(tdf);
        // Remembered so that a run that fails with an error drops it again.
        m_->createdTables.emplace_back(db, tdf->Name());
    } catch (const vb::VbError& e) {
        // "Already exists" says less than why the old table could not go.
        const bool refused = !m_->refusedDropTable.empty() && vb::EqualsNoCase(m_->refusedDropTable, tdf->Name());
        result = refused ? m_->refusedDropText : e.Description();
    }
    dao::IndexPtr index = tdf->CreateIndex("PrimaryKey");
    index->Primary(true);
    index->Fields()->Append(index->CreateField("StatOutputID"));
    tdf->Indexes()->Append(index);
    if (result.empty() && fOpen) m_->OutputRecordset = OpenResultTable(db, tdf->Name());
    return result;
}

void Quantara::Quarn_DeleteTable(bool fTemp, const std::string& strTable) {
    ProcScope scope(ErrStack(), "Quarn_DeleteTable");
    m_->refusedDropTable.clear();
    try {
        const dao::DatabasePtr db = fTemp ? m_->TempDatabase : get_OutputDatabase();
        if (db) db->TableDefs()->Delete(strTable);
    } catch (const vb::VbError& e) {
        if (!fTemp && e.Number() == dao::err::kTableInUse) {
            m_->refusedDropTable = strTable;
            m_->refusedDropText = e.Description();
        }
    } catch (...) {}
}

std::string Quantara::DescFreqInit_Zelk(bool fFraction, int16_t intIntervals, bool fLowerBound,
                                        const std::string& strTable, std::vector<std::string>& strFields,
                                        int16_t intOffset, int16_t intCount, double& dblFirst, double& dblWidth) {
    ProcScope scope(ErrStack(), "DescFreqInit_Zelk");
    Quarn_Msg(0, true, "Calculating default frequency values");
    bool found = false;
    double dblMin = 0;
    double dblMax = 0;
    for (int16_t i = 1; i <= intCount; ++i) {
        const std::string f = BracketName(strFields.at(static_cast<size_t>(intOffset + i)));
        std::string sql = "SELECT MIN(" + f + ") as Minimum1, MAX(" + f + ") as Maximum1 FROM " + BracketName(strTable);
        const std::string where = Quarn_DataWhere(f);
        if (!where.empty()) sql += " WHERE (" + where + ")";
        dao::RecordsetPtr rs = get_SourceDatabase()->OpenRecordset(sql + ";");
        if (!rs->Eof()) {
            const vb::Variant low = rs->Fields(std::string_view("Minimum1"))->Value();
            const vb::Variant high = rs->Fields(std::string_view("Maximum1"))->Value();
            if (!low.IsNull()) {
                if (!found) {
                    dblMin = low.ToDouble();
                    dblMax = high.ToDouble();
                    found = true;
                } else {
                    dblMin = std::min(dblMin, low.ToDouble());
                    if (!high.IsNull()) dblMax = std::max(dblMax, high.ToDouble());
                }
            }
        }
        rs->Close();
    }
    if (!found) return "No data found";
    FrequencyIntervalDefaults(fFraction, intIntervals, fLowerBound, dblMin, dblMax, dblFirst, dblWidth);
    return {};
}

void Quantara::BeginTrans() {
    std::vector<dao::DatabasePtr> level;
    for (const dao::DatabasePtr& db : {get_OutputDatabase(), m_->TempDatabase}) {
        if (!db || std::find(level.begin(), level.end(), db) != level.end()) continue;
        db->BeginTrans();
        level.push_back(db);
    }
    m_->transactionLevels.push_back(std::move(level));
    ++m_->openTransactions;
}

void Quantara::CommitTrans() {
    if (m_->transactionLevels.empty()) return;
    std::vector<dao::DatabasePtr> level = std::move(m_->transactionLevels.back());
    m_->transactionLevels.pop_back();
    if (m_->openTransactions > 0) --m_->openTransactions;
    for (const dao::DatabasePtr& db : level) {
        try {
            db->CommitTrans();
        } catch (const vb::VbError& e) {
            // A scratch database closed inside the level took its work with it.
            if (e.Number() != dao::err::kObjectClosed) throw;
        }
    }
}
