// The fast renderer against the per-pixel reference, and the whole command.
//
// In process (Google Benchmark, medians over repetitions): parameter families
// at one sample per pixel, and supersampled families at accuracy 4, 16 and
// 64. Where the reference would take minutes it renders the first pixels
// only; its samples per second then give an estimated full time (marked
// "~"). Each fast image is checked against the reference's pixels (all of
// them, or those first ones).
//
// Whole process: pallodex-render (next to this program) run as a separate
// process per render, from spawn to exit with the file written; medians over
// several runs. These are the times a user waits for.
//
// Also: randomSettings and mutateSettings at 2048 x 2048, the time a key
// press adds to its render.
//
// `render-bench --no-process` skips the whole-process part, `--loops` runs
// only its moving wallpapers; Google
// Benchmark's own flags (--benchmark_filter=...) select in-process families.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "generate.h"
#include "reference.h"
#include "render.h"
#include "render_fast.h"

extern char** environ;

namespace {

struct Family {
    std::string name;
    PatternSettings settings;
};

PatternSettings sized(PatternSettings s, std::int32_t side, std::int32_t accuracy) {
    s.bmpw = s.bmph = side;
    s.accuracy = accuracy;
    return s;
}

// Posterise, dither, ranges and a hue rotation.
PatternSettings ditherSettings() {
    PatternSettings s;
    s.dg_r = 24, s.dg_g = -40, s.dg_b = 9;
    s.dth_r = 6, s.dth_g = -17, s.dth_b = 32;
    s.min_r = 20, s.max_r = 230;
    s.min_g = 64, s.max_g = 192;
    s.min_b = 0, s.max_b = 200;
    s.mode_g = EdgeTurnSlow;
    s.hue = 400;
    return s;
}

PatternSettings sineSettings() {
    PatternSettings s;
    s.pat_x = WaveSine;
    s.pat_y = WaveSineHalf;
    s.vy_r = 90;
    return s;
}

// The supersampled families: smooth triangles (long runs of equal samples),
// sine waves with dither, posterise and hue (no runs), Limit edges whose
// ramps cross the image, and steep Turn waves with dither.
std::vector<std::pair<const char*, PatternSettings>> supersampledKinds() {
    PatternSettings triangle;
    triangle.pat_x = triangle.pat_y = WaveTriangle;

    PatternSettings sdph = sineSettings();
    sdph.pat_y = WaveSine;
    sdph.vy_b = -200;
    sdph.dg_r = 24, sdph.dg_g = -40, sdph.dg_b = 9;
    sdph.dth_r = 6, sdph.dth_g = -17, sdph.dth_b = 32;
    sdph.hue = 400;

    PatternSettings limit;
    limit.mode_r = limit.mode_g = limit.mode_b = EdgeLimit;
    limit.pat_x = WaveSine;
    limit.pat_y = WaveTriangle;
    limit.base_r = 100, limit.vy_r = 300;
    limit.vx_g = 600;
    limit.dth_b = 5;

    PatternSettings turns;
    turns.mode_r = EdgeTurnFast, turns.mode_g = EdgeTurnSlow;
    turns.pat_x = WaveSineHalf, turns.pat_y = WaveSineAbsolute;
    turns.vx_r = 3000, turns.vy_g = -2500;
    turns.dth_r = -9, turns.dth_g = 12, turns.dg_b = -30;
    return {{"triangle", triangle}, {"sine-dith", sdph}, {"limit", limit}, {"turns", turns}};
}

std::vector<Family> inProcessFamilies() {
    std::vector<Family> f;
    PatternSettings defaults;
    f.push_back({"defaults", sized(defaults, 2048, 1)});
    f.push_back({"sine", sized(sineSettings(), 2048, 1)});
    f.push_back({"dither", sized(ditherSettings(), 2048, 1)});
    f.push_back({"accuracy4", sized(defaults, 512, 4)});
    for (const auto& [name, s] : supersampledKinds())
        for (std::int32_t n : {4, 16, 64})
            f.push_back({std::string(name) + "/n" + std::to_string(n), sized(s, 1024, n)});
    f.push_back({"dither/n1000", sized(ditherSettings(), 256, 1000)});
    return f;
}

double channelSamples(const PatternSettings& s) {
    return 3.0 * s.bmpw * s.bmph * static_cast<double>(s.accuracy) * s.accuracy;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

double seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Renders beyond this many channel samples measure the reference on the
// first pixels (row by row) only.
constexpr double kFullReferenceSamples = 2.0e8;
constexpr double kPartialReferenceSamples = 1.5e7;

struct Timings {
    std::vector<double> reference, fast;  // seconds per render (reference: of its pixels)
    std::size_t referenceCount = 0;       // pixels the reference rendered
    std::vector<std::uint32_t> referencePixels;
    bool mismatch = false;
};
std::map<std::string, Timings> g_timings;

std::size_t pixelCount(const PatternSettings& s) { return static_cast<std::size_t>(s.bmpw) * s.bmph; }

std::size_t referencePixelCount(const PatternSettings& s) {
    if (channelSamples(s) <= kFullReferenceSamples) return pixelCount(s);
    const double perPixel = channelSamples(s) / static_cast<double>(pixelCount(s));
    return std::max<std::size_t>(1, static_cast<std::size_t>(kPartialReferenceSamples / perPixel));
}

void runReference(benchmark::State& state, const Family& f) {
    const PatternSettings& s = f.settings;
    const std::size_t count = referencePixelCount(s);
    std::vector<std::uint32_t> px(count);
    const double t0 = seconds();
    for (auto _ : state) {
        for (std::size_t start = 0; start < count; start += static_cast<std::size_t>(s.bmpw)) {
            const std::int32_t y = static_cast<std::int32_t>(start / static_cast<std::size_t>(s.bmpw));
            const std::int32_t x1 = static_cast<std::int32_t>(std::min<std::size_t>(s.bmpw, count - start));
            renderReferencePixels(s, px.data() + start, y, 0, x1);
        }
        benchmark::DoNotOptimize(px.data());
    }
    Timings& t = g_timings[f.name];
    t.reference.push_back((seconds() - t0) / static_cast<double>(state.iterations()));
    t.referenceCount = count;
    t.referencePixels = std::move(px);
    state.counters["samples/s"] = benchmark::Counter(
        channelSamples(s) * static_cast<double>(count) / static_cast<double>(pixelCount(s)),
        benchmark::Counter::kIsIterationInvariantRate);
}

void runFast(benchmark::State& state, const Family& f) {
    const PatternSettings& s = f.settings;
    std::vector<std::uint32_t> px(pixelCount(s));
    const double t0 = seconds();
    for (auto _ : state) {
        renderImage(s, px.data());
        benchmark::DoNotOptimize(px.data());
    }
    Timings& t = g_timings[f.name];
    t.fast.push_back((seconds() - t0) / static_cast<double>(state.iterations()));
    if (!t.referencePixels.empty() && !std::equal(t.referencePixels.begin(), t.referencePixels.end(), px.begin())) {
        t.mismatch = true;
        state.SkipWithError("fast image differs from the reference");
    }
    state.counters["samples/s"] =
        benchmark::Counter(channelSamples(s), benchmark::Counter::kIsIterationInvariantRate);
}

// A new wallpaper or a small change of one, before its render: the part of a
// key press that comes on top of the render time.
void runGenerate(benchmark::State& state, bool mutate) {
    PatternSettings s;
    s.bmpw = s.bmph = kMaxImageSide;
    s.accuracy = static_cast<std::int32_t>(state.range(0));
    s = randomSettings(s, 1);
    std::uint64_t seed = 2;
    for (auto _ : state) {
        PatternSettings next = mutate ? mutateSettings(s, seed++) : randomSettings(s, seed++);
        benchmark::DoNotOptimize(next);
    }
}
BENCHMARK_CAPTURE(runGenerate, randomSettings_2048sq, false)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runGenerate, mutateSettings_2048sq, true)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

std::string sizeText(const PatternSettings& s) {
    char text[48];
    std::snprintf(text, sizeof text, "%dx%d n%d", s.bmpw, s.bmph, s.accuracy);
    return text;
}

std::string msText(double secs) {
    char text[32];
    if (secs >= 10)
        std::snprintf(text, sizeof text, "%.1f s", secs);
    else
        std::snprintf(text, sizeof text, "%.1f ms", secs * 1e3);
    return text;
}

bool printInProcess(const std::vector<Family>& fams) {
    bool ok = true;
    std::printf("\nIn process (medians; reference \"~\": estimated from its first pixels)\n");
    std::printf("%-16s %-16s %14s %12s %9s %16s %16s\n", "family", "size", "reference", "fast", "ratio",
                "ref samples/s", "fast samples/s");
    for (const Family& f : fams) {
        const auto it = g_timings.find(f.name);
        if (it == g_timings.end() || it->second.fast.empty()) continue;
        const Timings& t = it->second;
        const double measured = median(t.reference), fast = median(t.fast);
        const double share = static_cast<double>(t.referenceCount) / static_cast<double>(pixelCount(f.settings));
        const double ref = measured / share;
        const bool partial = t.referenceCount < pixelCount(f.settings);
        std::printf("%-16s %-16s %14s %12s %8.1fx %16.3g %16.3g%s\n", f.name.c_str(), sizeText(f.settings).c_str(),
                    ((partial ? "~" : "") + msText(ref)).c_str(), msText(fast).c_str(), ref > 0 ? ref / fast : 0.0,
                    measured > 0 ? channelSamples(f.settings) * share / measured : 0.0, channelSamples(f.settings) / fast,
                    t.mismatch ? "  IMAGE DIFFERS" : "");
        ok = ok && !t.mismatch;
    }
    return ok;
}

// ---- whole process ----

std::string renderTool(const char* argv0) {
    std::string self = argv0;
    char buf[4096];
    const ssize_t len = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (len > 0) self.assign(buf, static_cast<std::size_t>(len));
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/pallodex-render";
}

// Seconds from spawning the tool to its exit, or a negative value if it
// failed; peakKb (if given) receives its peak resident memory.
double runTool(const std::string& tool, const PatternSettings& s, const std::string& out, long* peakKb = nullptr,
               const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {tool, "-o", out};
    args.insert(args.end(), extra.begin(), extra.end());
    for (const ParamKey& k : kParamKeys) {
        args.push_back("--set");
        args.push_back(std::string(k.name) + "=" + std::to_string(getParam(s, k)));
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const double t0 = seconds();
    pid_t pid;
    const int rc = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return -1;
    const double t = seconds() - t0;
    if (peakKb) *peakKb = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

struct ProcessFamily {
    std::string name;
    PatternSettings settings;
    int runs;
    double goal;  // seconds, 0: none
};

std::vector<ProcessFamily> processFamilies() {
    std::vector<ProcessFamily> f;
    PatternSettings defaults;
    f.push_back({"defaults", sized(defaults, 2048, 1), 9, 0.020});
    f.push_back({"sine", sized(sineSettings(), 2048, 1), 9, 0.040});
    f.push_back({"dither", sized(ditherSettings(), 2048, 1), 9, 0.040});
    for (const auto& [name, s] : supersampledKinds())
        for (std::int32_t n : {16, 64})
            f.push_back({std::string(name) + "/n" + std::to_string(n), sized(s, 1024, n), 5,
                         std::string(name) == "sine-dith" && n == 64 ? 0.5 : 0.0});
    f.push_back({"dither/n64", sized(ditherSettings(), 256, 64), 5, 0});
    f.push_back({"dither/n1000", sized(ditherSettings(), 256, 1000), 3, 2.0});
    f.push_back({"defaults/n512", sized(defaults, 2048, 512), 3, 0});
    f.push_back({"defaults/n513", sized(defaults, 2048, 513), 3, 0});
    f.push_back({"sine-dith/n512", sized(supersampledKinds()[1].second, 2048, 512), 3, 0});
    f.push_back({"sine-dith/n513", sized(supersampledKinds()[1].second, 2048, 513), 3, 0});
    return f;
}

// Smoothness far beyond what a pixel side can use: every run should end
// within a minute, in the image plus at most 64 MB.
bool runHugeAccuracies(const std::string& tool, const std::string& out) {
    struct Huge {
        const char* name;
        PatternSettings settings;
    };
    PatternSettings a, b, c;
    a.accuracy = 536870912;
    b.accuracy = INT32_MAX, b.bmpw = b.bmph = 2048;
    c.accuracy = 536870911, c.pat_x = WaveSine, c.dth_r = 3;
    std::printf("\nHuge smoothness, one run each (goal: <= 60 s, peak resident <= image + 64 MB)\n");
    std::printf("%-34s %-10s %10s %14s %8s\n", "settings", "size", "time", "peak resident", "goal");
    bool ok = true;
    for (const Huge& h : {Huge{"accuracy=536870912", a}, Huge{"accuracy=2147483647", b},
                          Huge{"accuracy=536870911 pat_x=2 dth_r=3", c}}) {
        long peakKb = 0;
        const double t = runTool(tool, h.settings, out, &peakKb);
        const double imageMb = 4.0 * h.settings.bmpw * h.settings.bmph / 1048576.0;
        const double peakMb = peakKb / 1024.0;
        const bool met = t >= 0 && t <= 60 && peakMb <= imageMb + 64;
        ok = ok && t >= 0;
        std::printf("%-34s %-10s %10s %11.1f MB %8s\n", h.name, sizeText(h.settings).c_str(),
                    t < 0 ? "FAILED" : msText(t).c_str(), peakMb, met ? "met" : "MISSED");
        std::fflush(stdout);
    }
    return ok;
}

// Moving wallpapers: 60 frames of 1024 x 1024 as an animated PNG and as a
// GIF, spawn to exit with the file written, and the peak resident memory
// against one frame's 4 MB: memory should hold the frames in flight, not
// the loop's 240 MB.
bool runLoops(const std::string& tool, const std::string& dir) {
    PatternSettings sine;  // sines across and half sines down, one repeat of 1024 each way
    sine.pat_x = WaveSine, sine.pat_y = WaveSineHalf, sine.basew = 0, sine.baseh = 0, sine.baserw = 25;
    sine.baserh = 50, sine.vy_r = 180, sine.vy_b = 90, sine.bmpw = sine.bmph = 1024;
    PatternSettings banded = sine;  // few colours: the GIF is exact
    banded.dg_r = banded.dg_g = banded.dg_b = 48;
    struct Loop {
        const char* name;
        PatternSettings settings;
        const char* kind;
    };
    std::printf("\nLoops: 60 frames of 1024x1024, spawn to exit (median of 3; goal <= 3 s, peak resident a few frames)\n");
    std::printf("%-20s %-6s %12s %12s %14s %12s %8s\n", "loop", "format", "median", "min", "peak resident", "file", "goal");
    bool ok = true;
    for (const Loop& l : {Loop{"sine scroll-xy", sine, "scroll-xy"}, Loop{"sine scroll-xy+hue", sine, "scroll-xy+hue"},
                          Loop{"banded scroll-xy", banded, "scroll-xy"}})
        for (const char* format : {"png", "gif"}) {
            const std::string out = dir + "/loop." + format;
            std::vector<double> times;
            long peakKb = 0;
            for (int r = 0; r < 3; ++r) {
                long kb = 0;
                const double t = runTool(tool, l.settings, out, &kb, {"--animate", l.kind, "--frames", "60"});
                if (t < 0) break;
                times.push_back(t);
                peakKb = std::max(peakKb, kb);
            }
            struct stat st {};
            const bool done = times.size() == 3 && stat(out.c_str(), &st) == 0;
            ok = ok && done;
            if (!done) {
                std::printf("%-20s %-6s FAILED\n", l.name, format);
                continue;
            }
            const double m = median(times);
            std::printf("%-20s %-6s %12s %12s %11.1f MB %9.1f MB %8s\n", l.name, format, msText(m).c_str(),
                        msText(*std::min_element(times.begin(), times.end())).c_str(), peakKb / 1024.0,
                        st.st_size / 1048576.0, m <= 3 ? "met" : "MISSED");
            std::fflush(stdout);
            std::remove(out.c_str());
        }
    return ok;
}

bool runWholeProcess(const char* argv0) {
    const std::string tool = renderTool(argv0);
    if (access(tool.c_str(), X_OK) != 0) {
        std::printf("\nWhole process: %s not found, skipped\n", tool.c_str());
        return true;
    }
    char dir[] = "/tmp/render-bench-XXXXXX";
    if (!mkdtemp(dir)) return false;
    const std::string out = std::string(dir) + "/out.bmp";
    std::printf("\nWhole process: %s, spawn to exit with the file written (median of the runs)\n", tool.c_str());
    std::printf("%-16s %-16s %5s %12s %12s %12s\n", "family", "size", "runs", "median", "min", "goal");
    bool ok = true;
    std::map<std::string, double> medians;
    for (const ProcessFamily& f : processFamilies()) {
        std::vector<double> times;
        for (int r = 0; r < f.runs; ++r) {
            const double t = runTool(tool, f.settings, out);
            if (t < 0) {
                ok = false;
                break;
            }
            times.push_back(t);
        }
        if (times.empty()) {
            std::printf("%-16s %-16s FAILED\n", f.name.c_str(), sizeText(f.settings).c_str());
            continue;
        }
        const double m = median(times);
        medians[f.name] = m;
        std::string goal = f.goal > 0 ? "<= " + msText(f.goal) + (m <= f.goal ? " met" : " MISSED") : "";
        std::printf("%-16s %-16s %5zu %12s %12s %12s\n", f.name.c_str(), sizeText(f.settings).c_str(), times.size(),
                    msText(m).c_str(), msText(*std::min_element(times.begin(), times.end())).c_str(), goal.c_str());
        std::fflush(stdout);
    }
    ok = runHugeAccuracies(tool, out) && ok;
    ok = runLoops(tool, dir) && ok;
    std::remove(out.c_str());
    rmdir(dir);
    std::printf("\nGrowth of the whole command (goal: at most x6 from accuracy 16 to 64; x1.2 from 512 to 513)\n");
    for (const auto& [name, s] : supersampledKinds()) {
        const std::string a = std::string(name) + "/n16", b = std::string(name) + "/n64";
        if (medians.count(a) && medians.count(b))
            std::printf("%-16s n16 -> n64  x%.2f\n", name, medians[b] / medians[a]);
    }
    for (const char* name : {"defaults", "sine-dith"}) {
        const std::string a = std::string(name) + "/n512", b = std::string(name) + "/n513";
        if (medians.count(a) && medians.count(b))
            std::printf("%-16s n512 -> n513 x%.2f\n", name, medians[b] / medians[a]);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool process = true;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-process") == 0) {
            process = false;
        } else if (std::strcmp(argv[i], "--loops") == 0) {
            // The loops alone.
            char dir[] = "/tmp/render-bench-XXXXXX";
            if (!mkdtemp(dir)) return 1;
            const bool ok = runLoops(renderTool(argv[0]), dir);
            rmdir(dir);
            return ok ? 0 : 1;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());

    const std::vector<Family> fams = inProcessFamilies();
    for (const Family& f : fams) {
        // The reference takes up to seconds per render: one per repetition.
        benchmark::RegisterBenchmark((f.name + "/reference").c_str(),
                                     [f](benchmark::State& st) { runReference(st, f); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark((f.name + "/fast").c_str(), [f](benchmark::State& st) { runFast(st, f); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.2)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    bool ok = printInProcess(fams);
    std::printf("(%u hardware threads)\n", std::thread::hardware_concurrency());
    if (process) ok = runWholeProcess(argv[0]) && ok;
    return ok ? 0 : 1;
}
