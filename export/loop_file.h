// Moving wallpapers as files: an animated GIF or an animated PNG that plays
// a loop of frames forever. Frames come from the caller one at a time, are
// encoded on several threads and leave in order through the caller's sink,
// so that memory holds only the frames in flight, never the whole loop.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

enum class LoopFormat { Gif, Apng };

// The extension (without dot) of the format's files.
const char* loopExtension(LoopFormat format);

struct LoopFileOptions {
    int threads = 0;  // 0: every hardware thread
    // Raised (from any thread) to stop; nothing more reaches the sink.
    const std::atomic<bool>* cancel = nullptr;
    // Advanced as the work goes on, up to loopFileSteps.
    std::atomic<std::int32_t>* stepsDone = nullptr;
};

// A GIF needs every frame twice: once to learn the loop's colours (its one
// palette comes first in the file), once to write them.
std::int32_t loopFileSteps(LoopFormat format, std::int32_t frames);

// Fills pixels (width x height, 0x00BBGGRR, top row first) with frame k on
// `threads` threads; false when it was stopped. Called from several threads
// at once: the frames share the threads.
using FrameSource = std::function<bool(std::int32_t k, std::uint32_t* pixels, int threads)>;
// Takes the file's next bytes; false when they could not be written.
using ByteSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

enum class LoopFileResult { Written, Cancelled, SinkFailed };

struct LoopFileInfo {
    // GIF: whether the palette holds every colour of the loop (at most 256);
    // else colours are dithered between 256 chosen for the loop. APNG
    // always holds every colour.
    bool exactColours = true;
    std::size_t paletteSize = 0;  // GIF
};

// The file of a loop of `frames` frames shown delayMs each and played
// forever. GIF: 89a, the delay to the nearest 10 ms, one palette for all
// frames (see LoopPalette). APNG: 8-bit RGB, frame 0 is also the still
// picture that programs without animation show. Throws std::bad_alloc when
// memory runs out and std::invalid_argument for sizes no file can hold.
LoopFileResult writeLoopFile(LoopFormat format, std::int32_t width, std::int32_t height, std::int32_t frames,
                             std::int32_t delayMs, const FrameSource& source, const ByteSink& sink,
                             const LoopFileOptions& options = {}, LoopFileInfo* info = nullptr);
