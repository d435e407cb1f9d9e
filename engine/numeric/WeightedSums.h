// Tie-averaged ranks written back into a record set, with the tie terms of
// rank tests.
#pragma once

#include <string>

#include "dao/Dao.h"

// rs: updatable, ordered by strValueField, with a numeric column "Weight".
// Each run of rows with equal values is one tie group standing for t
// observations (the integer parts of its weights added up); it takes the next
// t ranks and every row of it gets their average in strRankField. The six
// outputs (set to 0 first) gather, over groups with t <> 1: dblTieWeight the
// tied observations, dblTieCubes the sum of t^3 - t, dblTieGroups the number
// of groups and, with fTau, dblTieSquares sum t^2 - t, dblTieTriples sum
// (t - 2)(t^2 - t), dblTieTau sum (2t + 5)(t^2 - t). A group whose weights are
// all below 1 takes no rank: it gets the point halfway between its
// neighbours' ranks and counts in no tie term. rs ends after its last row.
void WeightedSums(const dao::RecordsetPtr& rs, bool fTau, const std::string& strValueField,
                  const std::string& strRankField, double& dblTieWeight, double& dblTieCubes, double& dblTieGroups,
                  double& dblTieSquares, double& dblTieTriples, double& dblTieTau);
