// Gauss-Jordan inversion of the normal equations' matrix of sums, solving the
// system whose right-hand side is the last column of the working matrix in
// the same pass.
#pragma once

#include <cstdint>

#include "numeric/DoubleArray2D.h"

class RunContext;

class CMatrix {
public:
    // dblSumXY: rows 1..intRows, columns 1..intCols (row 0 and column 0 unused);
    // columns 1..intRows hold the square matrix M, and when intCols > intRows
    // column intCols holds the right-hand side y. dblInv: shaped like dblSumXY,
    // its block 1..intRows x 1..intRows set to the identity by the caller.
    // On True, dblInv holds M's inverse and column intCols of dblSumXY the
    // solution of M x = y. False when M is singular or the elimination would
    // overflow; the arrays then hold partly eliminated (finite) values.
    bool Quarn_GaussJordan_b(int16_t intRows, int16_t intCols, DoubleArray2D& dblSumXY, DoubleArray2D& dblInv,
                             RunContext* Zantels);

private:
    static void SwitchRows(int16_t r1, int16_t r2, int16_t n, DoubleArray2D& a, DoubleArray2D& b);

    RunContext* zantels_ = nullptr;  // the run context of the last call
};
