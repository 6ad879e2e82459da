#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/LineFormat.h"

// One request of the doctor's search: an address at a line format.
struct TSearchTry {
    TLineFormat line;
    std::uint8_t address = 0;
    bool confirm = false; // asks again where the try before it got an answer
};

// The order of the search's tries, worked out from what has answered so far;
// it sends nothing. The configured address at every setting first (the
// common frame formats and the fastest speeds before the others), every
// address at a setting where something answered next, then every address
// everywhere.
class TSearchPlan {
public:
    // An empty plan for the display configured at `configured` and `address`.
    void reset(const TLineFormat& configured, std::uint8_t address);
    // The configured address at every other setting.
    void planConfigured();
    // Every address at `line`, tried next; once per setting.
    void planSweep(const TLineFormat& line);
    // Every address at every setting not swept yet.
    void planEverywhere();
    bool everywhere() const { return everywhere_; }
    // A try after all the others.
    void add(const TSearchTry& t) { tries_.push_back(t); }
    // A try before all the others.
    void addNext(const TSearchTry& t);

    bool done() const { return at_ >= tries_.size(); }
    // The try to make now; only when not done.
    const TSearchTry& next() const { return tries_[at_]; }
    // The try made now, off the plan.
    TSearchTry take() { return tries_[at_++]; }
    // Tries still to make, the one made now included.
    int left() const { return static_cast<int>(tries_.size() - at_); }

private:
    std::vector<TSearchTry> tries_;
    std::size_t at_ = 0;
    std::vector<TLineFormat> swept_;
    bool everywhere_ = false;
    TLineFormat configured_;
    std::uint8_t address_ = 0;
};
