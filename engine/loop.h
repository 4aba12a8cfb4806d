// Moving wallpapers: a parameter set played as a loop of frames that is
// seamless in space and in time. The pattern is periodic, so moving its
// origin by one whole repeat, or turning its hue by one whole circle, gives
// back the first frame exactly; a loop walks that distance in N equal steps,
// and the step from the last frame back to the first is one of them.
#pragma once

#include <cstdint>
#include <optional>

#include "pattern_settings.h"

// What moves: the pattern across, down or both, the hue, or a scroll and
// the hue together.
enum class LoopKind : std::uint8_t { ScrollX, ScrollY, ScrollXY, Hue, ScrollXHue, ScrollYHue, ScrollXYHue };

struct LoopKindName {
    LoopKind kind;
    const char* name;   // as pallodex-render's --animate takes it, e.g. "scroll-x+hue"
    const char* label;  // as the program lists it
};
constexpr int kLoopKindCount = 7;
extern const LoopKindName kLoopKinds[kLoopKindCount];
std::optional<LoopKind> loopKindNamed(const char* name);

bool scrollsAcross(LoopKind kind);
bool scrollsDown(LoopKind kind);
bool turnsHue(LoopKind kind);

constexpr std::int32_t kMinLoopFrames = 2;
constexpr std::int32_t kMaxLoopFrames = 600;
// The time each frame shows, in milliseconds. Below 20 ms browsers and GIF
// players slow a frame down to 100 ms rather than speed it up.
constexpr std::int32_t kMinLoopDelay = 20;
constexpr std::int32_t kMaxLoopDelay = 10000;

// A loop as the user asks for it.
struct LoopChoice {
    LoopKind kind = LoopKind::ScrollX;
    std::int32_t frames = 60;
    std::int32_t delayMs = 40;
};

// The pixels after which the picture of s repeats along axis a (0 across, 1
// down) when the tile holds a whole number of repeats, as every random
// wallpaper and preset does: the distance a scroll walks. Nothing when the
// pattern does not repeat within the tile (a scroll would show a seam), or
// when the walk would take the origin beyond 32 bits.
std::optional<std::int32_t> scrollRepeat(const PatternSettings& s, int a);
// Whether every frame of the loop joins its neighbours as s does: a hue loop
// always, a scroll where each axis it moves has its scrollRepeat.
bool loopIsSeamless(const PatternSettings& s, LoopKind kind);

// Frame k (0 <= k <= frames) of the loop of s: its origin moved by
// k * repeat / frames pixels along each axis the kind scrolls, its hue
// turned by k * 1530 / frames steps, each rounded to the nearest whole
// number. Frame 0 is s itself and frame `frames` shows frame 0's picture
// again (to the rounding of the sine waves' doubles, which differ by a
// level in a few samples a whole repeat apart). Whole pixels cannot always
// split a repeat into equal steps: with a repeat not a multiple of the
// frame count the steps differ by one pixel, the odd ones away from the
// loop's end. An axis without a scrollRepeat stays where it is.
PatternSettings loopFrame(const PatternSettings& s, LoopKind kind, std::int32_t frames, std::int32_t k);
