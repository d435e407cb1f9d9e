// The values of records handed, in batches, to a helper thread that adds
// them up in record order while the next batch is read. The records go in
// and are taken in one order, so every sum is the one a plain loop gives.
// A few records never start the thread: they are taken when Finish is
// called.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class RecordBatches {
public:
    // `take` is given each record's `width` values, in the order they came.
    RecordBatches(size_t width, std::function<void(const double*)> take);
    ~RecordBatches();
    RecordBatches(const RecordBatches&) = delete;
    RecordBatches& operator=(const RecordBatches&) = delete;

    // Room for the next record's values, to be filled before the next call.
    double* Next();
    // Returns once every record handed in is taken; raises what taking one
    // raised (the records after it are not taken).
    void Finish();

private:
    static constexpr size_t kRecords = 4096;  // records in a batch
    void Hand();                              // hands the filled batch to the helper
    void WaitIdle();                          // the helper's batch taken; raises its error
    void Take(const std::vector<double>& batch, size_t records);
    void Helper();

    const size_t width_;
    std::function<void(const double*)> take_;
    std::vector<double> filling_, handed_;
    size_t filled_ = 0;  // records in filling_
    size_t handedRecords_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;  // the helper has a batch
    bool stop_ = false;
    std::exception_ptr error_;
    std::thread helper_;
};
