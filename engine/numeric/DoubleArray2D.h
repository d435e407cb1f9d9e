// A two-dimensional array of Double dimensioned from 0, like the old
// runtime's ReDim a(rows, cols): every element starts at 0, and an index
// outside the bounds raises "Subscript out of range" (error 9).
#pragma once

#include <cstddef>
#include <vector>

#include "vb/VbError.h"

class DoubleArray2D {
public:
    DoubleArray2D() = default;
    DoubleArray2D(int rowUpper, int colUpper) { ReDim(rowUpper, colUpper); }

    // Rows 0..rowUpper, columns 0..colUpper, all 0.
    void ReDim(int rowUpper, int colUpper) {
        if (rowUpper < 0 || colUpper < 0) vb::Raise(vb::err::kSubscriptOutOfRange);
        rows_ = rowUpper + 1;
        cols_ = colUpper + 1;
        values_.assign(static_cast<size_t>(rows_) * static_cast<size_t>(cols_), 0.0);
    }

    int RowUpper() const { return rows_ - 1; }
    int ColUpper() const { return cols_ - 1; }

    double& operator()(int row, int col) { return values_[Index(row, col)]; }
    double operator()(int row, int col) const { return values_[Index(row, col)]; }

private:
    size_t Index(int row, int col) const {
        if (row < 0 || row >= rows_ || col < 0 || col >= cols_) vb::Raise(vb::err::kSubscriptOutOfRange);
        return static_cast<size_t>(row) * static_cast<size_t>(cols_) + static_cast<size_t>(col);
    }

    int rows_ = 0;
    int cols_ = 0;
    std::vector<double> values_;
};
