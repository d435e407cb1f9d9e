// Tie-averaged ranks over a sorted, updatable record set.
#include "numeric/WeightedSums.h"

#include "numeric/Numerics.h"
#include "vb/Conversions.h"

void WeightedSums(const dao::RecordsetPtr& rs, bool fTau, const std::string& strValueField,
                  const std::string& strRankField, double& dblTieWeight, double& dblTieCubes, double& dblTieGroups,
                  double& dblTieSquares, double& dblTieTriples, double& dblTieTau) {
    dblTieWeight = dblTieCubes = dblTieGroups = dblTieSquares = dblTieTriples = dblTieTau = 0;
    TieRanker ranker(fTau);
    if (!rs->Eof() || !rs->Bof()) rs->MoveFirst();
    const dao::FieldPtr value = rs->Fields(std::string_view(strValueField));
    const dao::FieldPtr weight = rs->Fields(std::string_view("Weight"));
    const dao::FieldPtr rank = rs->Fields(std::string_view(strRankField));
    while (!rs->Eof()) {
        // One tie group: this row and the following rows of the same value.
        const double x = value->Value().ToDouble();
        double t = vb::Int(weight->Value().ToDouble());
        int32_t rows = 0;
        for (;;) {
            rs->MoveNext();
            ++rows;
            if (rs->Eof()) break;
            if (value->Value().ToDouble() != x) break;
            t += vb::Int(weight->Value().ToDouble());
        }
        const double average = ranker.AddGroup(t);
        // Back to the group's first row; every row of it gets the average.
        rs->Move(-rows);
        for (int32_t i = 0; i < rows; ++i) {
            rs->Edit();
            rank->Value(vb::Variant(average));
            rs->Update();
            rs->MoveNext();
        }
    }
    const TieSums& sums = ranker.Sums();
    dblTieWeight = sums.tw;
    dblTieCubes = sums.t3;
    dblTieGroups = sums.tg;
    dblTieSquares = sums.t2;
    dblTieTriples = sums.tt;
    dblTieTau = sums.t5;
}
