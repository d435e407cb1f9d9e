// Sorting a finished group's staged values, one buffer per analysed field, in
// helper threads, so that reading the next group goes on meanwhile. Each
// buffer is sorted by SortByValue on its own, whatever thread does it: the
// order, and every result drawn from it, are those of a plain sort.
#pragma once

#include <future>
#include <vector>

#include "analysis/descriptive/DescriptiveMath.h"

class StagedSort {
public:
    StagedSort() = default;
    StagedSort(const StagedSort&) = delete;
    StagedSort& operator=(const StagedSort&) = delete;
    // Waits for sorts still running: their buffers must outlive them.
    ~StagedSort();

    // True when some buffer is long enough for a helper thread to pay.
    static bool Large(const std::vector<std::vector<StagedValue>>& fields);
    // Gives each buffer that has none room for a long group: address space
    // only, as memory is taken when values are written, so that a long first
    // group's buffer neither moves nor touches new memory twice as it grows.
    static void Prepare(std::vector<std::vector<StagedValue>>& fields);
    // Makes `next` ready to take the group after `finished`: as many buffers,
    // emptied and made an eighth longer than finished's, so that they seldom
    // grow (new memory is costly to touch, and only what is used is touched).
    static void PrepareNext(const std::vector<std::vector<StagedValue>>& finished,
                            std::vector<std::vector<StagedValue>>& next);
    // Sorts every buffer here and now.
    static void SortAll(std::vector<std::vector<StagedValue>>& fields);

    // Starts sorting every buffer (a thread for each long one); none may be
    // touched until Wait returns.
    void Start(std::vector<std::vector<StagedValue>>& fields);
    // Waits for the sorts started; a sort's failure (memory) is raised here.
    void Wait();

private:
    std::vector<std::future<void>> running_;
};
