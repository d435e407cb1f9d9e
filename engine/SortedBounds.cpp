#include "SortedBounds.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <random>
#include <unordered_map>

namespace engine {

struct SortedBounds::State {
    bool open = true;      // still gathering
    bool whole = false;    // sealed after a read of the whole set
    bool unusual = false;  // text, bytes or an infinity met: the caller reads the source itself
    bool found = false;
    double low = 0;
    double high = 0;
    std::vector<bool> emptyIsMissing;  // by expression
};

namespace {

const char* const kFunction = "quarn_bounds";

// The gatherings under way in the process, by token: the SQL term names its
// gathering by a random token, never by an address nor by a number another
// statement could guess.
std::mutex registryMutex;
std::unordered_map<int64_t, std::shared_ptr<SortedBounds::State>>& Registry() {
    static std::unordered_map<int64_t, std::shared_ptr<SortedBounds::State>> registry;
    return registry;
}

// A positive token that no gathering under way holds (0 is never one).
int64_t NewToken() {
    std::random_device device;
    for (;;) {
        const uint64_t bits = (uint64_t{device()} << 32) ^ device();
        const auto token = static_cast<int64_t>(bits & uint64_t{INT64_MAX});
        if (token != 0 && !Registry().contains(token)) return token;
    }
}

std::shared_ptr<SortedBounds::State> Find(int64_t id) {
    std::lock_guard lock(registryMutex);
    auto it = Registry().find(id);
    return it == Registry().end() ? nullptr : it->second;
}

}  // namespace

SortedBounds::SortedBounds() : state_(std::make_shared<State>()) {
    std::lock_guard lock(registryMutex);
    id_ = NewToken();
    Registry().emplace(id_, state_);
}

SortedBounds::~SortedBounds() {
    std::lock_guard lock(registryMutex);
    Registry().erase(id_);
}

bool SortedBounds::Define(dao::Database& db) {
    // One per connection; its calls come one at a time (SQLite holds the
    // connection's lock), so the last gathering found is kept without a lock.
    struct Cache {
        int64_t id = 0;
        std::shared_ptr<State> state;
    };
    auto cache = std::make_shared<Cache>();
    try {
        db.DefineFunction(kFunction, [cache](const std::vector<dao::Database::StoredArgument>& args) {
            if (args.empty() || args[0].kind != dao::Field::Stored::kInteger) return;
            if (args[0].integer != cache->id) {
                cache->id = args[0].integer;
                cache->state = Find(cache->id);
            }
            State* s = cache->state.get();
            if (!s || !s->open) return;
            for (size_t i = 1; i < args.size(); ++i) {
                double x = 0;
                switch (args[i].kind) {
                    case dao::Field::Stored::kNull:
                        continue;
                    case dao::Field::Stored::kInteger:
                        x = static_cast<double>(args[i].integer);
                        break;
                    case dao::Field::Stored::kReal:
                        x = args[i].real;
                        break;
                    case dao::Field::Stored::kText:
                        if (args[i].bytes.empty() && i <= s->emptyIsMissing.size() && s->emptyIsMissing[i - 1])
                            continue;
                        s->unusual = true;
                        continue;
                    default:
                        s->unusual = true;
                        continue;
                }
                if (!std::isfinite(x)) {
                    s->unusual = true;
                } else if (!s->found) {
                    s->low = s->high = x;
                    s->found = true;
                } else if (x < s->low) {
                    s->low = x;
                } else if (x > s->high) {
                    s->high = x;
                }
            }
        });
    } catch (const vb::VbError&) {
        return false;
    }
    return true;
}

std::string SortedBounds::Term(const std::vector<std::string>& expressions, std::vector<bool> emptyIsMissing) {
    state_->emptyIsMissing = std::move(emptyIsMissing);
    std::string term = std::string(kFunction) + "(" + std::to_string(id_);
    for (const std::string& e : expressions) term += ", " + e;
    return term + ")";
}

void SortedBounds::Seal(bool wholeSetRead) {
    state_->whole = wholeSetRead && state_->open;
    state_->open = false;
}

bool SortedBounds::Usable() const { return state_->whole && !state_->unusual; }
bool SortedBounds::Found() const { return state_->found; }
double SortedBounds::Low() const { return state_->low; }
double SortedBounds::High() const { return state_->high; }

}  // namespace engine
