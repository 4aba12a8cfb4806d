#include "variations.h"

#include <utility>

Variations::Variations(std::function<void()> ready, std::function<std::uint64_t()> seed, int threads)
    : renderer_(std::move(ready), threads), seed_(std::move(seed)) {}

void Variations::resize(std::int32_t w, std::int32_t h) {
    if (w == w_ && h == h_) return;
    w_ = w;
    h_ = h;
    for (Cell& c : cells_) c.pictured = false;
    start();
}

int Variations::follow(const PatternSettings& centre) {
    if (centre_ && *centre_ == centre) return -1;
    int picked = -1;
    for (int i = 0; i < kCells; ++i)
        if (cells_[i].pictured && cells_[i].settings == centre) picked = i;
    const bool pictured = picked >= 0;
    centre_ = centre;
    Cell& middle = cells_[kCentre];
    middle.settings = centre;
    middle.pictured = pictured;
    fill(false);
    return picked;
}

void Variations::refill() {
    if (centre_) fill(false);
}

void Variations::refillRandom() {
    if (centre_) fill(true);
}

void Variations::setScope(MutateScope scope) {
    if (scope == scope_) return;
    scope_ = scope;
    refill();
}

// New recipes for the eight: each its own seed, made on the worker.
void Variations::fill(bool random) {
    PatternSettings keep = *centre_;
    if (random) keep.validate();  // the generator takes its size and accuracy from a repaired set
    for (int i = 0; i < kCells; ++i) {
        if (i == kCentre) continue;
        Cell& c = cells_[i];
        c.settings.reset();
        c.pictured = false;
        const std::uint64_t seed = seed_();
        const MutateScope scope = scope_;
        if (random)
            c.make = [keep, seed, scope] { return randomSettings(keep, seed, scope); };
        else
            c.make = [keep, seed, scope] { return mutateSettings(keep, seed, scope); };
    }
    start();
}

// Every cell without a picture at the current size, the centre first.
void Variations::start() {
    if (!centre_ || w_ <= 0 || h_ <= 0) return;
    std::vector<CellJob> jobs;
    for (int k = 0; k < kCells; ++k) {
        const int i = (kCentre + k) % kCells;
        const Cell& c = cells_[i];
        if (c.pictured) continue;
        if (c.settings) {
            const PatternSettings s = *c.settings;
            jobs.push_back({i, [s] { return s; }});
        } else {
            jobs.push_back({i, c.make});
        }
    }
    renderer_.start(w_, h_, std::move(jobs));
}

bool Variations::take(CellResult& out) {
    if (!renderer_.take(out)) return false;
    Cell& c = cells_[static_cast<std::size_t>(out.index)];
    c.settings = out.settings;
    c.pictured = !out.pixels.empty();
    return true;
}
