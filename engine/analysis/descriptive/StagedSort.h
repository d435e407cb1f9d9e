// Sorting a finished group's staged values, one buffer per analysed field, in
// helper threads, so that reading the next group goes on meanwhile. Each
// buffer is sorted by SortByValue on its own, whatever thread does it: the
// order, and every result drawn from it, are those of a plain sort.
#pragma once

#include <future>
#include <utility>
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

// The group being read and a finished one whose staged values (its `stage`,
// one buffer per field) are sorted in helper threads while the next group is
// read; the finished group is written before the next one.
template <class Group>
class StagedGroups {
public:
    Group current;

    // Ends the current group. With `staged` its values are sorted: here, or
    // for long buffers in helper threads, the next group then being read into
    // the buffers the finished one leaves. `write` writes a group, now or at
    // the next End or Flush.
    template <class Write>
    void End(bool staged, const Write& write) {
        Flush(write);
        if (staged && StagedSort::Large(current.stage)) {
            StagedSort::PrepareNext(current.stage, finished_.stage);
            std::swap(current, finished_);
            sorting_.Start(finished_.stage);
            waiting_ = true;
            return;
        }
        if (staged) StagedSort::SortAll(current.stage);
        write(current);
    }
    // Writes the group whose sorts are running, once they end.
    template <class Write>
    void Flush(const Write& write) {
        if (!waiting_) return;
        waiting_ = false;
        sorting_.Wait();
        write(finished_);
    }

private:
    Group finished_;
    bool waiting_ = false;
    StagedSort sorting_;  // last: its sorts end before the buffers go
};
