// STAND-IN helpers of the non-parametric tests; see NonParamSupport.h.
#include "analysis/nonparametric/NonParamSupport.h"

#include <cmath>

#include "Merivox6/Quantara.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace nonparam {

std::string Bracket(const std::string& strName) {
    bool ok = !strName.empty();
    for (unsigned char c : strName) {
        if (c == ']' || c < 32) ok = false;
    }
    if (!ok) throw vb::VbError(3125, "'" + strName + "' is not a name that can be used in a query.");
    return "[" + strName + "]";
}

std::string OpenSource(Quantara& Zantels, std::string strSQL) {
    if (strSQL.empty() || strSQL.back() != ';') strSQL += ";";
    try {
        Zantels.DataRecordset(Zantels.get_SourceDatabase()->OpenRecordset(strSQL, dao::dbOpenSnapshot, dao::dbReadOnly));
    } catch (const vb::VbError& e) {
        if (e.Number() == 3061) return "The selected query expects parameters and cannot be used by Velmora.";
        return e.Description();
    }
    return {};
}

void FieldTypes(Quantara& Zantels, const dao::RecordsetPtr& rs, int n, const std::vector<std::string>& strFields,
                std::vector<int32_t>& lngTypes, std::vector<int32_t>& lngSizes) {
    lngTypes.assign(static_cast<size_t>(n) + 1, 0);
    lngSizes.assign(static_cast<size_t>(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        const dao::FieldPtr& f = rs->Fields(std::string_view(strFields.at(static_cast<size_t>(i))));
        lngTypes[static_cast<size_t>(i)] = f->Type();
        lngSizes[static_cast<size_t>(i)] = f->Size();
    }
    Zantels.CaseSensitive(n >= 1 &&
                          rs->Fields(std::string_view(strFields.at(1)))->CollatingOrder() != 1033);
}

bool DataOk(const Quantara& Zantels, double x) {
    const std::string& mode = Zantels.MissingType();
    if (vb::EqualsNoCase(mode, "Equal")) return x != Zantels.MissingEqual();
    if (vb::EqualsNoCase(mode, "Low")) return x >= Zantels.MissingLow();
    if (vb::EqualsNoCase(mode, "High")) return x <= Zantels.MissingHigh();
    if (vb::EqualsNoCase(mode, "Both")) return x >= Zantels.MissingLow() && x <= Zantels.MissingHigh();
    return true;
}

double WeightOf(const Quantara& Zantels, const vb::Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return 0;
    const double w = v.ToDouble();
    if (vb::EqualsNoCase(Zantels.MissingType(), "Equal") && w == Zantels.MissingEqual()) return 0;
    return w > 0 ? w : 0;
}

bool SameValue(const Quantara& Zantels, const vb::Variant& a, const vb::Variant& b, bool fIgnoreCase) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    const bool caseBlind = fIgnoreCase || !Zantels.CaseSensitive() || !a.IsString();
    return vb::CompareVariants(a, b, caseBlind ? vb::vbTextCompare : vb::vbBinaryCompare) == 0;
}

bool GroupChanged(const Quantara& Zantels, int n, const std::vector<vb::Variant>& saved,
                  const std::vector<vb::Variant>& current) {
    for (int i = 1; i <= n; ++i) {
        if (!SameValue(Zantels, saved[static_cast<size_t>(i)], current[static_cast<size_t>(i)], false)) return true;
    }
    return false;
}

void AddOutputField(const dao::TableDefPtr& tdf, const std::string& strName, int16_t intType, int16_t& intOrdinal,
                    int32_t lngSize) {
    dao::FieldPtr f = tdf->CreateField(strName, intType, lngSize);
    if (intOrdinal == 0 && strName == "StatOutputID") f->Attributes(dao::dbAutoIncrField);
    ++intOrdinal;
    tdf->Fields()->Append(f);
}

std::string PairColumnName(const std::string& strField, int intWhich) {
    return strField.substr(0, 62) + (intWhich == 1 ? "-1" : "-2");
}

int16_t BuildOutputFields(const dao::TableDefPtr& tdf, int nGroups, const std::vector<std::string>& strFields,
                          const std::vector<int32_t>& lngTypes, const std::vector<int32_t>& lngSizes,
                          bool fDataField, int intPair, bool fObservations, const std::string& strCount,
                          const std::string& strMissing) {
    int16_t ord = 0;
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ord);
    for (int i = 1; i <= nGroups; ++i) {
        const auto k = static_cast<size_t>(i);
        AddOutputField(tdf, strFields.at(k), static_cast<int16_t>(lngTypes.at(k)), ord, lngSizes.at(k));
    }
    if (fDataField) AddOutputField(tdf, "DataField", dao::dbText, ord, 64);
    if (intPair > 0) {
        const auto k = static_cast<size_t>(intPair);
        for (int which = 1; which <= 2; ++which) {
            AddOutputField(tdf, PairColumnName(strFields.at(k), which), static_cast<int16_t>(lngTypes.at(k)), ord,
                           lngSizes.at(k));
        }
    }
    if (!strCount.empty()) AddOutputField(tdf, strCount, dao::dbDouble, ord);
    if (fObservations) AddOutputField(tdf, "Observations", dao::dbDouble, ord);
    if (!strMissing.empty()) AddOutputField(tdf, strMissing, dao::dbLong, ord);
    return ord;
}

void PutNumber(const dao::RecordsetPtr& rs, const std::string& strColumn, double dblValue) {
    rs->Fields(std::string_view(strColumn))
        ->Value(std::isfinite(dblValue) ? vb::Variant(dblValue) : vb::Variant::Null());
}

void PutGroupValues(const dao::RecordsetPtr& rs, int n, const std::vector<std::string>& strFields,
                    const std::vector<vb::Variant>& varGroup) {
    for (int i = 1; i <= n; ++i) {
        const auto k = static_cast<size_t>(i);
        if (!varGroup[k].IsNull()) rs->Fields(std::string_view(strFields.at(k)))->Value(varGroup[k]);
    }
}

dao::TableDefPtr NewOutputTable(Quantara& Zantels, const std::string& strName) {
    Zantels.Quarn_DeleteTable(false, strName);
    return Zantels.get_OutputDatabase()->CreateTableDef(strName);
}

}  // namespace nonparam
