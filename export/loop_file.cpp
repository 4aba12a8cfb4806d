#include "loop_file.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "gif.h"
#include "loop_palette.h"
#include "png.h"
#include "workers.h"

const char* loopExtension(LoopFormat format) { return format == LoopFormat::Gif ? "gif" : "png"; }

std::int32_t loopFileSteps(LoopFormat format, std::int32_t frames) {
    return format == LoopFormat::Gif ? 2 * frames : frames;
}

namespace {

// The pixels of the frames at work at once stay within about this much.
constexpr std::size_t kFramesMemory = 128u << 20;
// Chunks of an APNG's frame data are cut at this size, as the still PNG's.
constexpr std::size_t kChunkData = 256 * 1024;

void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

struct Job {
    std::int32_t width, height, frames, delayMs;
    const FrameSource& source;
    const ByteSink& sink;
    const LoopFileOptions& options;
    int threads;  // in all
    int workers;  // frames rendered and encoded at once, each on its share of the threads
    bool sinkFailed = false;

    std::size_t pixelCount() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
    // Frames made ahead of the one being written: enough to keep every
    // thread busy while one waits for the file.
    std::int32_t window() const { return 2 * workers; }
    // Threads for one frame's render while the others of a pass of `items`
    // frames render too: all of them shared among the frames at work.
    int threadsPerFrame(std::int32_t items) const { return std::max(1, threads / std::max(1, std::min(items, workers))); }
    bool write(const std::vector<std::uint8_t>& bytes) {
        if (!sink(bytes.data(), bytes.size())) sinkFailed = true;
        return !sinkFailed;
    }
    void stepDone() const {
        if (options.stepsDone) options.stepsDone->fetch_add(1, std::memory_order_relaxed);
    }
    LoopFileResult outcome(bool completed) const {
        if (completed) return LoopFileResult::Written;
        return sinkFailed ? LoopFileResult::SinkFailed : LoopFileResult::Cancelled;
    }
};

// One buffer of pixels per worker, made when the worker first needs it.
class FrameBuffers {
public:
    FrameBuffers(int threads, std::size_t pixels) : buffers_(static_cast<std::size_t>(threads)), pixels_(pixels) {}
    std::uint32_t* of(int worker) {
        std::vector<std::uint32_t>& b = buffers_[static_cast<std::size_t>(worker)];
        if (b.empty()) b.resize(pixels_);
        return b.data();
    }

private:
    std::vector<std::vector<std::uint32_t>> buffers_;
    std::size_t pixels_;
};

LoopFileResult writeApng(Job& job) {
    std::vector<std::uint8_t> head = pngRgbHeader(job.width, job.height);
    std::uint8_t actl[8];
    put32(actl, static_cast<std::uint32_t>(job.frames));
    put32(actl + 4, 0);  // plays: for ever
    appendPngChunk(head, "acTL", actl, sizeof actl);
    if (!job.write(head)) return job.outcome(false);

    FrameBuffers buffers(job.workers, job.pixelCount());
    PngOptions png;
    png.threads = 1;  // the frames share the threads
    std::uint32_t sequence = 0;  // fcTL and fdAT count together from 0
    std::vector<std::uint8_t> chunks, piece;
    const bool completed = forEachInOrder<std::vector<std::uint8_t>>(
        job.workers, job.frames, job.window(), job.options.cancel,
        [&](int worker, std::int32_t k, std::vector<std::uint8_t>& stream) {
            std::uint32_t* pixels = buffers.of(worker);
            if (!job.source(k, pixels, job.threadsPerFrame(job.frames))) return false;
            stream = deflatePngRgb(pixels, job.width, job.height, png);
            return true;
        },
        [&](std::int32_t k, std::vector<std::uint8_t>& stream) {
            chunks.clear();
            std::uint8_t fctl[26] = {};
            put32(fctl, sequence++);
            put32(fctl + 4, static_cast<std::uint32_t>(job.width));
            put32(fctl + 8, static_cast<std::uint32_t>(job.height));
            // Offsets 0, 0; the delay in thousandths of a second; dispose
            // and blend ops 0: each frame replaces the whole picture.
            fctl[20] = static_cast<std::uint8_t>(job.delayMs >> 8);
            fctl[21] = static_cast<std::uint8_t>(job.delayMs);
            fctl[22] = 1000 >> 8;
            fctl[23] = 1000 & 0xFF;
            appendPngChunk(chunks, "fcTL", fctl, sizeof fctl);
            for (std::size_t at = 0; at < stream.size(); at += kChunkData) {
                const std::size_t n = std::min(kChunkData, stream.size() - at);
                if (k == 0) {
                    appendPngChunk(chunks, "IDAT", stream.data() + at, n);
                    continue;
                }
                piece.resize(4 + n);
                put32(piece.data(), sequence++);
                std::copy(stream.begin() + static_cast<std::ptrdiff_t>(at),
                          stream.begin() + static_cast<std::ptrdiff_t>(at + n), piece.begin() + 4);
                appendPngChunk(chunks, "fdAT", piece.data(), piece.size());
            }
            job.stepDone();
            return job.write(chunks);
        });
    if (!completed) return job.outcome(false);
    std::vector<std::uint8_t> end;
    appendPngChunk(end, "IEND", nullptr, 0);
    return job.outcome(job.write(end));
}

LoopFileResult writeGif(Job& job, LoopFileInfo* info) {
    // First the loop's colours. Frame 0 alone says whether the loop can
    // have few enough: if it already has more than 256, a quarter of the
    // frames spread over the loop, and never fewer than 16, are enough to
    // choose the palette from (the frames of a loop change smoothly), which
    // spares most of this pass; otherwise every frame is looked at, as the
    // palette must then hold each colour exactly.
    FrameBuffers buffers(job.workers, job.pixelCount());
    std::vector<std::unique_ptr<ColourCensus>> censuses(static_cast<std::size_t>(job.workers));
    std::int32_t samples = job.frames;
    // Sample i is frame i * frames / samples; it stands for the frames up
    // to the next one, and counts for them in the progress.
    auto frameOf = [&](std::int32_t i) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(i) * job.frames / samples);
    };
    auto look = [&](int worker, std::int32_t i) {
        std::uint32_t* pixels = buffers.of(worker);
        // Frame 0 is looked at alone, on every thread.
        if (!job.source(frameOf(i), pixels, job.threadsPerFrame(i == 0 ? 1 : samples - 1))) return false;
        std::unique_ptr<ColourCensus>& census = censuses[static_cast<std::size_t>(worker)];
        if (!census) census.reset(new ColourCensus);
        census->add(pixels, job.pixelCount());
        for (std::int32_t k = frameOf(i); k < frameOf(i + 1); ++k) job.stepDone();
        return true;
    };
    if (!look(0, 0)) return LoopFileResult::Cancelled;
    if (!censuses[0]->fewColours()) {
        samples = std::min(job.frames, std::max(16, (job.frames + 3) / 4));
        for (std::int32_t k = 1; k < frameOf(1); ++k) job.stepDone();
    }
    if (!forEachItem(job.workers, samples - 1, job.options.cancel,
                     [&](int worker, std::int32_t i) { return look(worker, i + 1); }))
        return LoopFileResult::Cancelled;
    ColourCensus all;
    for (const std::unique_ptr<ColourCensus>& c : censuses)
        if (c) all.merge(*c);
    censuses.clear();
    const LoopPalette palette(all);
    if (info) info->exactColours = palette.exact(), info->paletteSize = palette.colours().size();

    std::vector<std::uint8_t> head;
    appendGifHeader(head, job.width, job.height, palette.colours(), palette.bits());
    if (!job.write(head)) return job.outcome(false);
    std::vector<std::vector<std::uint8_t>> indices(static_cast<std::size_t>(job.workers));
    const std::uint16_t delay = static_cast<std::uint16_t>(std::max(1, (job.delayMs + 5) / 10));
    const bool completed = forEachInOrder<std::vector<std::uint8_t>>(
        job.workers, job.frames, job.window(), job.options.cancel,
        [&](int worker, std::int32_t k, std::vector<std::uint8_t>& bytes) {
            std::uint32_t* pixels = buffers.of(worker);
            if (!job.source(k, pixels, job.threadsPerFrame(job.frames))) return false;
            std::vector<std::uint8_t>& index = indices[static_cast<std::size_t>(worker)];
            index.resize(job.pixelCount());
            palette.map(pixels, job.width, job.height, index.data());
            bytes.clear();
            appendGifFrame(bytes, index.data(), job.width, job.height, palette.bits(), delay);
            return true;
        },
        [&](std::int32_t, std::vector<std::uint8_t>& bytes) {
            job.stepDone();
            return job.write(bytes);
        });
    if (!completed) return job.outcome(false);
    return job.outcome(job.write({kGifTrailer}));
}

}  // namespace

LoopFileResult writeLoopFile(LoopFormat format, std::int32_t width, std::int32_t height, std::int32_t frames,
                             std::int32_t delayMs, const FrameSource& source, const ByteSink& sink,
                             const LoopFileOptions& options, LoopFileInfo* info) {
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || frames < 1 || delayMs < 0 ||
        delayMs > 65535)
        throw std::invalid_argument("writeLoopFile: no such loop");
    // Frames at work hold their pixels, and a GIF's their colour census:
    // on a machine of many threads, large frames share the threads among
    // fewer of them, so that a 32-bit program keeps its memory.
    const int threads = workerCount(options.threads);
    const std::size_t frameBytes = 4 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const int workers = static_cast<int>(std::max<std::size_t>(1, std::min<std::size_t>(threads, kFramesMemory / frameBytes)));
    Job job{width, height, frames, delayMs, source, sink, options, threads, workers};
    if (info) *info = LoopFileInfo{};
    return format == LoopFormat::Gif ? writeGif(job, info) : writeApng(job);
}
