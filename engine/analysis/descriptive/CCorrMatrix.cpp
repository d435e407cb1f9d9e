// Correlation matrix: within each group, every pair of the analysed fields
// over the records where both values are valid (pairwise), one row per
// chosen measure and field, one column per field.
#include <cmath>
#include <vector>

#include "AnalysisPhases.h"
#include "ErrorStack.h"
#include "GroupWalker.h"
#include "Merivox6/Quantara.h"
#include "StatsGeneral.h"
#include "analysis/AnalysisEntries.h"
#include "numeric/CZValue.h"
#include "numeric/Numerics.h"
#include "vb/Conversions.h"

namespace {

class CCorrMatrix {
public:
    std::string Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                             int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                             const std::string& strTTestTail, const std::string& strOptions, Quantara& Zantels);

private:
    void CalcData(double w);
    std::string CreateOutput(const std::string& OutTableName);
    void InitData();
    void ReadRecords();
    void WriteData(const GroupValues& group, int32_t lngRecords);

    // Square matrices of order n, one-based in both indices.
    size_t At(int r, int c) const {
        return static_cast<size_t>(r) * static_cast<size_t>(n_ + 1) + static_cast<size_t>(c);
    }

    Quantara* z_ = nullptr;
    FieldNames* fields_ = nullptr;
    int16_t g_ = 0, n_ = 0;
    bool weighted_ = false;
    bool oneTail_ = false;
    std::string options_;
    std::string probLabel_;
    std::vector<int32_t> types_, sizes_;
    // Lower triangle and diagonal: count, weight sum, sum and square sum of the
    // column's field; upper triangle: the same count, the cross sum, and the
    // sum and square sum of the row's field.
    std::vector<int32_t> N_;
    std::vector<double> P_, SX_, SXX_;
    std::vector<double> x_;
    std::vector<char> ok_;
    const GroupValues* group_ = nullptr;
    dao::RecordsetPtr data_, out_;
    CZValue prob_;
};

const char* const kLabels[] = {"Count",       "Missing",  "MeanDiff", "StdDevDiff", "Covariance",
                               "Correlation", "R-Square", "t-Value",  nullptr};

std::string CCorrMatrix::Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable,
                                      FieldNames& strFields, int16_t intGroupFields, int16_t intNumFields,
                                      int16_t intWeightField_b, const std::string& strTTestTail,
                                      const std::string& strOptions, Quantara& Zantels) {
    ProcScope scope(ErrStack(), "Quarn_Matrix");
    z_ = &Zantels;
    fields_ = &strFields;
    g_ = intGroupFields;
    n_ = intNumFields;
    weighted_ = intWeightField_b != 0;
    oneTail_ = strTTestTail == "1";
    options_ = strOptions;
    probLabel_ = "Prob (" + strTTestTail + "-tail)";

    return RunAnalysisPhases(
        Zantels,
        {.openSource = [&] { return Zantels.Quarn_InitDataTable(strUserTable, strFields, g_, types_, sizes_); },
         .createOutput = [&] { return CreateOutput(OutTableName); },
         .readRecords = [&] { ReadRecords(); }});
}

std::string CCorrMatrix::CreateOutput(const std::string& OutTableName) {
    ProcScope scope(ErrStack(), "CreateOutput");
    dao::TableDefPtr tdf = NewResultTable(*z_, OutTableName);
    int16_t ordinal = BuildOutputFields(tdf, g_, *fields_, types_, sizes_, true, 0, 0, false, "", "");
    AddOutputField(tdf, "CalcType", dao::dbText, ordinal, 13);
    for (int16_t i = 1; i <= n_; ++i) {
        AddOutputField(tdf, fields_->at(static_cast<size_t>(g_ + i)), dao::dbDouble, ordinal);
    }
    std::string result = z_->Quarn_CreateTable(tdf, true);
    if (result.empty()) out_ = z_->OutputRecordset();
    return result;
}

void CCorrMatrix::InitData() {
    const size_t cells = static_cast<size_t>(n_ + 1) * static_cast<size_t>(n_ + 1);
    N_.assign(cells, 0);
    P_.assign(cells, 0);
    SX_.assign(cells, 0);
    SXX_.assign(cells, 0);
}

void CCorrMatrix::ReadRecords() {
    ProcScope scope(ErrStack(), "ReadRecords");
    data_ = z_->DataRecordset();
    x_.assign(static_cast<size_t>(n_) + 1, 0);
    ok_.assign(static_cast<size_t>(n_) + 1, 0);
    InitData();
    GroupWalker walk(*z_, *fields_, g_, weighted_, static_cast<int16_t>(g_ + n_ + 1));
    walk.Walk({.record = [&](double w) { CalcData(w); },
               .groupEnd = [&](const GroupValues& group, int32_t records) { WriteData(group, records); },
               .groupStart = [&] { InitData(); }});
}

void CCorrMatrix::CalcData(double w) {
    if (w <= 0) return;
    // Each field's value is read and tested once per record.
    for (int i = 1; i <= n_; ++i) {
        const vb::Variant v = data_->Fields(g_ + i - 1)->Value();
        ok_[static_cast<size_t>(i)] = 0;
        if (v.IsNull()) continue;
        const double x = v.ToDouble();
        if (!z_->Quarn_DataOk_b(x, false)) continue;
        x_[static_cast<size_t>(i)] = x;
        ok_[static_cast<size_t>(i)] = 1;
    }
    for (int i = 1; i <= n_; ++i) {
        if (!ok_[static_cast<size_t>(i)]) continue;
        const double xi = x_[static_cast<size_t>(i)];
        for (int j = 1; j <= i; ++j) {
            if (!ok_[static_cast<size_t>(j)]) continue;
            const double xj = x_[static_cast<size_t>(j)];
            if (j != i) {
                const size_t u = At(j, i);
                N_[u] += 1;
                P_[u] += xi * xj * w;
                SX_[u] += xi * w;
                SXX_[u] += xi * xi * w;
            }
            const size_t l = At(i, j);
            N_[l] += 1;
            P_[l] += w;
            SX_[l] += xj * w;
            SXX_[l] += xj * xj * w;
        }
    }
}

void CCorrMatrix::WriteData(const GroupValues& group, int32_t lngRecords) {
    ProcScope scope(ErrStack(), "WriteData");
    group_ = &group;
    for (int k = 1; k <= 9; ++k) {
        if (!OptionLetterIs(options_, static_cast<size_t>(k - 1), 'Y')) continue;
        const std::string label = k == 9 ? probLabel_ : kLabels[k - 1];
        for (int r = 1; r <= n_; ++r) {
            out_->AddNew();
            WriteGroupValues(out_, g_, *fields_, *group_, static_cast<int16_t>(g_ + r), "", "", false, 0, 0, 0);
            out_->Fields(std::string_view("CalcType"))->Value(label);
            for (int c = 1; c <= n_; ++c) {
                const int32_t N = N_[At(r, c)];
                const double W = P_[At(std::max(r, c), std::min(r, c))];
                double value = 0;
                bool has = false;
                if (k == 1) {
                    value = W;
                    has = true;
                } else if (k == 2) {
                    value = static_cast<double>(lngRecords) - N;
                    has = true;
                } else if (N >= 2 && W > 0) {
                    const double Sr = SX_[At(c, r)];
                    const double Sc = SX_[At(r, c)];
                    const double m = PreciseDifference(Sr, Sc) / W;
                    if (k == 3) {
                        value = m;
                        has = true;
                    } else if (W > 1) {
                        // Guarded on the weight sum, not the record count: a pair
                        // whose weights sum to 1 or less has no spread.
                        const double Srr = SXX_[At(c, r)];
                        const double Scc = SXX_[At(r, c)];
                        const double Src = r != c ? P_[At(std::min(r, c), std::max(r, c))] : SXX_[At(r, r)];
                        const double A = PreciseDifference(W * Srr, Sr * Sr);
                        const double B = PreciseDifference(W * Scc, Sc * Sc);
                        const double C = PreciseDifference(W * Src, Sr * Sc);
                        double D = PreciseDifference(B, 2 * C) + A;
                        if (B + A == 2 * C) D = 0;
                        const double u = 1 / (W * (W - 1));
                        switch (k) {
                            case 4:
                                if (D > 0) value = std::sqrt(u * D), has = true;
                                break;
                            case 5:
                                value = C * u, has = true;
                                break;
                            case 6:
                                if (A * B > 0) value = C / std::sqrt(A * B), has = true;
                                break;
                            case 7:
                                if (A * B > 0) value = C * C / (A * B), has = true;
                                break;
                            case 8:
                            case 9:
                                if (D > 0) {
                                    const double t = m / std::sqrt(u * D / W);
                                    if (k == 8) {
                                        value = t;
                                    } else {
                                        value = prob_.Quarn_CalcProb("T", t, W - 1, 0);
                                        if (oneTail_) value /= 2;
                                    }
                                    has = true;
                                }
                                break;
                            default:
                                break;
                        }
                    }
                }
                if (has) SetIfFinite(out_, fields_->at(static_cast<size_t>(g_ + c)), value);
            }
            out_->Update();
        }
    }
}

}  // namespace

std::string Quarn_Matrix(const std::string& OutTableName, const std::string& strUserTable, FieldNames& strFields,
                         int16_t intGroupFields, int16_t intNumFields, int16_t intWeightField_b,
                         const std::string& strTTestTail, const std::string& strOptions, Quantara& Zantels) {
    CCorrMatrix analysis;
    return analysis.Quarn_Matrix(OutTableName, strUserTable, strFields, intGroupFields, intNumFields, intWeightField_b,
                                 strTTestTail, strOptions, Zantels);
}
