#include "analysis/descriptive/StagedSort.h"

#include <system_error>

namespace {

// Below this many values a sort takes about as long as starting a thread.
constexpr size_t kThreadValues = 16384;

// The room a buffer is first given (2 MB of address space).
constexpr size_t kFirstRoom = size_t(1) << 17;

}  // namespace

StagedSort::~StagedSort() {
    for (auto& sort : running_) {
        if (sort.valid()) sort.wait();
    }
}

bool StagedSort::Large(const std::vector<std::vector<StagedValue>>& fields) {
    for (const auto& values : fields) {
        if (values.size() >= kThreadValues) return true;
    }
    return false;
}

void StagedSort::Prepare(std::vector<std::vector<StagedValue>>& fields) {
    for (auto& values : fields) {
        if (values.capacity() == 0) values.reserve(kFirstRoom);
    }
}

void StagedSort::PrepareNext(const std::vector<std::vector<StagedValue>>& finished,
                             std::vector<std::vector<StagedValue>>& next) {
    next.resize(finished.size());
    for (size_t k = 0; k < finished.size(); ++k) {
        next[k].clear();
        next[k].reserve(finished[k].size() + finished[k].size() / 8);
    }
}

void StagedSort::SortAll(std::vector<std::vector<StagedValue>>& fields) {
    for (auto& values : fields) SortByValue(values);
}

void StagedSort::Start(std::vector<std::vector<StagedValue>>& fields) {
    Wait();
    for (auto& values : fields) {
        if (values.size() < kThreadValues) {
            SortByValue(values);
            continue;
        }
        try {
            running_.push_back(std::async(std::launch::async, [&values] { SortByValue(values); }));
        } catch (const std::system_error&) {
            // No thread to be had: the sort is done here.
            SortByValue(values);
        }
    }
}

void StagedSort::Wait() {
    std::vector<std::future<void>> running;
    running.swap(running_);
    for (auto& sort : running) sort.wait();
    for (auto& sort : running) sort.get();
}
