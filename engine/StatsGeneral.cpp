// Result-table builders and SQL helpers shared by the analyses.
#include "StatsGeneral.h"

#include <cmath>
#include <utility>

#include "vb/Conversions.h"
#include "vb/VbError.h"

std::string BracketName(const std::string& strName) {
    if (strName.empty()) throw vb::VbError(dao::err::kInvalidName, "A name cannot be empty.", "BracketName");
    for (unsigned char c : strName) {
        if (c == ']' || c < 0x20 || c == 0x7f)
            throw vb::VbError(dao::err::kInvalidName,
                              "The name '" + strName +
                                  "' contains ']' or a control character, which names cannot hold.",
                              "BracketName");
    }
    return "[" + strName + "]";
}

dao::RecordsetPtr OpenResultTable(const dao::DatabasePtr& db, const std::string& strName) {
    return db->OpenRecordset(BracketName(strName), dao::dbOpenDynaset);
}

std::string InFileClause(const std::string& strPath) {
    std::string clause = "IN '";
    for (char c : strPath) {
        clause += c;
        if (c == '\'') clause += '\'';
    }
    return clause + "'";
}

void AddOutputField(const dao::TableDefPtr& tdf, const std::string& strName, int16_t intType, int16_t& intOrdinal,
                    int32_t lngSize) {
    dao::FieldPtr f = tdf->CreateField(strName, intType);
    // Fields take their ordinal positions in the order they are appended.
    if (lngSize != 0) f->Size(lngSize);
    if (intOrdinal == 0 && strName == "StatOutputID") f->Attributes(dao::dbAutoIncrField);
    // Group values copied from the source may be empty texts.
    if (intType == dao::dbText || intType == dao::dbMemo) f->AllowZeroLength(true);
    ++intOrdinal;
    tdf->Fields()->Append(f);
}

std::string PairColumnName(const std::string& strField, int intWhich) {
    return vb::LeftChars(strField, 62) + (intWhich == 1 ? "-1" : "-2");
}

int16_t BuildOutputFields(const dao::TableDefPtr& tdf, int16_t intGroupFields,
                          const std::vector<std::string>& strFields, const std::vector<int32_t>& lngTypes,
                          const std::vector<int32_t>& lngSizes, bool fDataField, int16_t intSingle, int16_t intPair,
                          bool fObservations, const std::string& strCount, const std::string& strMissing) {
    int16_t ordinal = 0;
    const auto type = [&](int16_t i) { return static_cast<int16_t>(lngTypes.at(static_cast<size_t>(i))); };
    const auto size = [&](int16_t i) { return lngSizes.at(static_cast<size_t>(i)); };
    const auto name = [&](int16_t i) -> const std::string& { return strFields.at(static_cast<size_t>(i)); };
    AddOutputField(tdf, "StatOutputID", dao::dbLong, ordinal, 0);
    for (int16_t i = 1; i <= intGroupFields; ++i) AddOutputField(tdf, name(i), type(i), ordinal, size(i));
    if (fDataField) AddOutputField(tdf, "DataField", dao::dbText, ordinal, 64);
    if (intSingle > 0) AddOutputField(tdf, name(intSingle), type(intSingle), ordinal, size(intSingle));
    if (intPair > 0) {
        AddOutputField(tdf, PairColumnName(name(intPair), 1), type(intPair), ordinal, size(intPair));
        AddOutputField(tdf, PairColumnName(name(intPair), 2), type(intPair), ordinal, size(intPair));
    }
    if (!strCount.empty()) AddOutputField(tdf, strCount, dao::dbDouble, ordinal, 0);
    if (fObservations) AddOutputField(tdf, "Observations", dao::dbDouble, ordinal, 0);
    if (!strMissing.empty()) AddOutputField(tdf, strMissing, dao::dbLong, ordinal, 0);
    return ordinal;
}

void CommonFieldType(int16_t intOffset, int16_t intCount, const std::vector<int32_t>& lngTypes,
                     const std::vector<int32_t>& lngSizes, int32_t& lngType, int32_t& lngSize) {
    lngSize = 0;
    int32_t common = 0;
    bool mixed = false;
    for (int16_t i = 1; i <= intCount; ++i) {
        const size_t at = static_cast<size_t>(intOffset + i);
        const int32_t t = lngTypes.at(at);
        if (i == 1) {
            common = t;
        } else if (t != common) {
            mixed = true;
        }
        if (t == dao::dbText && lngSizes.at(at) > lngSize) lngSize = lngSizes.at(at);
    }
    if (mixed) {
        lngType = dao::dbText;
        if (lngSize < 20) lngSize = 25;
    } else {
        lngType = common;
    }
}

int16_t AddRegressionFields(const dao::TableDefPtr& tdf, int16_t intAnova, int16_t& intOrdinal) {
    for (const char* name : {"Multiple_R", "R-Square", "Adj_R-Square", "StdError_of_Estimate"})
        AddOutputField(tdf, name, dao::dbDouble, intOrdinal, 0);
    if (intAnova != 0) {
        for (const char* name : {"Regression_DF", "Residual_DF", "Total_DF", "Regression_SS", "Residual_SS", "Total_SS",
                                 "Regression_MS", "Residual_MS", "F-Value", "Prob"})
            AddOutputField(tdf, name, dao::dbDouble, intOrdinal, 0);
    }
    return intOrdinal;
}

void WriteGroupValues(const dao::RecordsetPtr& rs, int16_t n, const std::vector<std::string>& strFields,
                      const std::vector<vb::Variant>& varGroup, int16_t intSingle, const std::string& strCount,
                      const std::string& strMissing, bool fObservations, double dblCount, int32_t lngRows,
                      int32_t lngObservations, int16_t intPair, const vb::Variant& varPair1,
                      const vb::Variant& varPair2) {
    const auto name = [&](int16_t i) -> const std::string& { return strFields.at(static_cast<size_t>(i)); };
    for (int16_t i = 1; i <= n; ++i) {
        const vb::Variant& value = varGroup.at(static_cast<size_t>(i));
        if (!value.IsNull()) rs->Fields(std::string_view(name(i)))->Value(value);
    }
    if (intSingle > 0) rs->Fields(std::string_view("DataField"))->Value(vb::Variant(name(intSingle)));
    if (intPair > 0) {
        rs->Fields(std::string_view(PairColumnName(name(intPair), 1)))->Value(varPair1);
        rs->Fields(std::string_view(PairColumnName(name(intPair), 2)))->Value(varPair2);
    }
    if (!strCount.empty()) rs->Fields(std::string_view(strCount))->Value(vb::Variant(dblCount));
    if (fObservations) rs->Fields(std::string_view("Observations"))->Value(vb::Variant(lngObservations));
    if (!strMissing.empty()) {
        const int64_t missing = static_cast<int64_t>(lngRows) - lngObservations;
        if (missing < INT32_MIN || missing > INT32_MAX) throw vb::VbError(6, "Overflow", "WriteGroupValues");
        rs->Fields(std::string_view(strMissing))->Value(vb::Variant(static_cast<int32_t>(missing)));
    }
}

void SetIfFinite(const dao::RecordsetPtr& rs, std::string_view strColumn, double dblValue) {
    if (std::isfinite(dblValue)) rs->Fields(strColumn)->Value(dblValue);
}

ResultOverflow::ResultOverflow(const std::string& field, std::string_view column, std::string weightField)
    : vb::VbError(vb::err::kOverflow, "Overflow", "SetOrOverflow"), field_(field), column_(column),
      weightField_(std::move(weightField)) {}

void SetOrOverflow(const dao::RecordsetPtr& rs, std::string_view strColumn, double dblValue,
                   const std::string& strField, bool fOverflowed) {
    if (std::isinf(dblValue) || (std::isnan(dblValue) && fOverflowed)) throw ResultOverflow(strField, strColumn);
    SetIfFinite(rs, strColumn, dblValue);
}

void SetIfFinite(const dao::RecordsetPtr& rs, int32_t intColumn, double dblValue) {
    if (std::isfinite(dblValue)) rs->Fields(intColumn)->Value(dblValue);
}

bool OptionLetterIs(const std::string& strOptions, size_t intPos, char chLetter) {
    return strOptions.size() > intPos && vb::FoldChar(strOptions[intPos]) == vb::FoldChar(chLetter);
}
