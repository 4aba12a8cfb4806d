// Fast renderer against the per-pixel reference, four parameter families.
// Prints Google Benchmark's table (medians over repetitions, with channel
// samples per second) and then one summary line per family with the ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "render.h"

namespace {

struct Family {
    const char* name;
    PatternSettings settings;
};

std::vector<Family> families() {
    std::vector<Family> f;

    PatternSettings defaults;
    defaults.bmpw = defaults.bmph = 2048;
    f.push_back({"defaults", defaults});

    PatternSettings sine = defaults;
    sine.pat_x = WaveSine;
    sine.pat_y = WaveSineHalf;
    sine.vy_r = 90;
    f.push_back({"sine", sine});

    PatternSettings dither = defaults;
    dither.dg_r = 24, dither.dg_g = -40, dither.dg_b = 9;
    dither.dth_r = 6, dither.dth_g = -17, dither.dth_b = 32;
    dither.min_r = 20, dither.max_r = 230;
    dither.min_g = 64, dither.max_g = 192;
    dither.min_b = 0, dither.max_b = 200;
    dither.mode_g = EdgeTurnSlow;
    dither.hue = 400;
    f.push_back({"dither", dither});

    PatternSettings acc4 = defaults;
    acc4.bmpw = acc4.bmph = 512;
    acc4.accuracy = 4;
    f.push_back({"accuracy4", acc4});
    return f;
}

double channelSamples(const PatternSettings& s) {
    return 3.0 * s.bmpw * s.bmph * static_cast<double>(s.accuracy) * s.accuracy;
}

struct Timings {
    std::vector<double> reference, fast;  // seconds per render, one per repetition
    std::vector<std::uint32_t> referenceImage;
    bool mismatch = false;
};
std::map<std::string, Timings> g_timings;

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void runReference(benchmark::State& state, const Family& f) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(f.settings.bmpw) * f.settings.bmph);
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        renderReference(f.settings, px.data());
        benchmark::DoNotOptimize(px.data());
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Timings& t = g_timings[f.name];
    t.reference.push_back(secs / static_cast<double>(state.iterations()));
    t.referenceImage = std::move(px);
    state.counters["samples/s"] =
        benchmark::Counter(channelSamples(f.settings), benchmark::Counter::kIsIterationInvariantRate);
}

void runFast(benchmark::State& state, const Family& f) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(f.settings.bmpw) * f.settings.bmph);
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        renderImage(f.settings, px.data());
        benchmark::DoNotOptimize(px.data());
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Timings& t = g_timings[f.name];
    const double perRender = secs / static_cast<double>(state.iterations());
    t.fast.push_back(perRender);
    if (!t.referenceImage.empty() && px != t.referenceImage) {
        t.mismatch = true;
        state.SkipWithError("fast image differs from the reference");
    }
    state.counters["samples/s"] =
        benchmark::Counter(channelSamples(f.settings), benchmark::Counter::kIsIterationInvariantRate);
    if (!t.reference.empty()) state.counters["ratio"] = median(t.reference) / perRender;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Family> fams = families();
    for (const Family& f : fams) {
        // The reference takes up to seconds per 2048 x 2048 render: one
        // render per repetition.
        benchmark::RegisterBenchmark((std::string(f.name) + "/reference").c_str(),
                                     [f](benchmark::State& st) { runReference(st, f); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark((std::string(f.name) + "/fast").c_str(),
                                     [f](benchmark::State& st) { runFast(st, f); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.3)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    bool ok = true;
    std::printf("\n%-10s %-9s %12s %10s %8s %16s\n", "family", "size", "reference", "fast", "ratio", "fast samples/s");
    for (const Family& f : fams) {
        const auto it = g_timings.find(f.name);
        if (it == g_timings.end() || it->second.fast.empty()) continue;
        const Timings& t = it->second;
        const double ref = median(t.reference), fast = median(t.fast);
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d n%d", f.settings.bmpw, f.settings.bmph, f.settings.accuracy);
        std::printf("%-10s %-9s %9.1f ms %7.2f ms %7.1fx %16.3g%s\n", f.name, size, ref * 1e3, fast * 1e3,
                    ref > 0 ? ref / fast : 0.0, channelSamples(f.settings) / fast,
                    t.mismatch ? "  IMAGE DIFFERS" : "");
        ok = ok && !t.mismatch;
    }
    std::printf("(medians; %u hardware threads)\n", std::thread::hardware_concurrency());
    return ok ? 0 : 1;
}
