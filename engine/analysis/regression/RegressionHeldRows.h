// The records of one group held until its fit is known, in memory up to a
// limit and in a temporary file beyond it, read back once in order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "vb/VbError.h"

// Fixed-size records of numbers, appended while a group is read and then
// read back in order once.
class HeldRows {
public:
    // width: numbers per record; inMemory: numbers held in memory at most
    // (at least one record).
    HeldRows(size_t width, size_t inMemory) : width_(width), limit_(std::max(inMemory / width, size_t(1)) * width) {}
    ~HeldRows() {
        if (file_) std::fclose(file_);
    }
    HeldRows(const HeldRows&) = delete;
    HeldRows& operator=(const HeldRows&) = delete;

    void Clear() {
        memory_.clear();
        spilled_ = 0;
        if (file_) std::rewind(file_);
    }
    void Append(const double* values) {
        if (memory_.size() + width_ > limit_) Spill();
        memory_.insert(memory_.end(), values, values + width_);
    }
    // Calls f(values) for every record in the order appended.
    template <typename F>
    void ForEach(F f) {
        if (spilled_ > 0) {
            std::fflush(file_);
            std::rewind(file_);
            std::vector<double> chunk;
            size_t left = spilled_;
            while (left > 0) {
                const size_t take = std::min(left, limit_);
                chunk.resize(take);
                if (std::fread(chunk.data(), sizeof(double), take, file_) != take)
                    throw vb::VbError(57, "The residual rows held in a temporary file cannot be read back", "HeldRows");
                for (size_t at = 0; at < take; at += width_) f(chunk.data() + at);
                left -= take;
            }
        }
        for (size_t at = 0; at < memory_.size(); at += width_) f(memory_.data() + at);
    }

private:
    void Spill() {
        if (!file_) file_ = std::tmpfile();
        if (!file_) throw vb::VbError(75, "No temporary file for the residual rows of a large group", "HeldRows");
        if (spilled_ == 0) std::rewind(file_);
        if (std::fwrite(memory_.data(), sizeof(double), memory_.size(), file_) != memory_.size())
            throw vb::VbError(57, "The residual rows of a large group cannot be written to a temporary file",
                              "HeldRows");
        spilled_ += memory_.size();
        memory_.clear();
    }

    size_t width_;
    size_t limit_;
    std::vector<double> memory_;
    std::FILE* file_ = nullptr;
    size_t spilled_ = 0;  // numbers in the file
};
