#include "analysis/descriptive/RecordBatches.h"

RecordBatches::RecordBatches(size_t width, std::function<void(const double*)> take)
    : width_(width), take_(std::move(take)), filling_(width * kRecords), handed_(width * kRecords) {}

RecordBatches::~RecordBatches() {
    if (!helper_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    helper_.join();
}

double* RecordBatches::Next() {
    if (filled_ == kRecords) Hand();
    return filling_.data() + width_ * filled_++;
}

void RecordBatches::Finish() {
    if (filled_ > 0) {
        if (helper_.joinable()) {
            Hand();
        } else {
            // Too few records to pay for a thread.
            const size_t records = filled_;
            filled_ = 0;
            Take(filling_, records);
        }
    }
    WaitIdle();
}

void RecordBatches::Hand() {
    WaitIdle();
    {
        std::lock_guard lock(mutex_);
        std::swap(filling_, handed_);
        handedRecords_ = filled_;
        busy_ = true;
    }
    filled_ = 0;
    if (!helper_.joinable()) {
        helper_ = std::thread([this] { Helper(); });
    } else {
        changed_.notify_all();
    }
}

void RecordBatches::WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (error_) {
        std::exception_ptr e = error_;
        error_ = nullptr;
        std::rethrow_exception(e);
    }
}

void RecordBatches::Take(const std::vector<double>& batch, size_t records) {
    const double* p = batch.data();
    for (size_t i = 0; i < records; ++i, p += width_) take_(p);
}

void RecordBatches::Helper() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stop_; });
        if (!busy_) return;
        lock.unlock();
        std::exception_ptr error;
        try {
            Take(handed_, handedRecords_);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        error_ = error;
        busy_ = false;
        changed_.notify_all();
    }
}
