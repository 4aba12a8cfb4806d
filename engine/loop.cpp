#include "loop.h"

#include <cstring>

#include "int32_math.h"
#include "zoom.h"

const LoopKindName kLoopKinds[kLoopKindCount] = {
    {LoopKind::ScrollX, "scroll-x", "横に流れる"},
    {LoopKind::ScrollY, "scroll-y", "縦に流れる"},
    {LoopKind::ScrollXY, "scroll-xy", "斜めに流れる"},
    {LoopKind::Hue, "hue", "色が一周する"},
    {LoopKind::ScrollXHue, "scroll-x+hue", "横に流れて色が一周する"},
    {LoopKind::ScrollYHue, "scroll-y+hue", "縦に流れて色が一周する"},
    {LoopKind::ScrollXYHue, "scroll-xy+hue", "斜めに流れて色が一周する"},
};

std::optional<LoopKind> loopKindNamed(const char* name) {
    for (const LoopKindName& k : kLoopKinds)
        if (std::strcmp(k.name, name) == 0) return k.kind;
    return std::nullopt;
}

bool scrollsAcross(LoopKind kind) {
    return kind == LoopKind::ScrollX || kind == LoopKind::ScrollXY || kind == LoopKind::ScrollXHue ||
           kind == LoopKind::ScrollXYHue;
}

bool scrollsDown(LoopKind kind) {
    return kind == LoopKind::ScrollY || kind == LoopKind::ScrollXY || kind == LoopKind::ScrollYHue ||
           kind == LoopKind::ScrollXYHue;
}

bool turnsHue(LoopKind kind) { return kind >= LoopKind::Hue; }

namespace {

constexpr std::int32_t kHueCircle = 1530;

// k * total / frames to the nearest whole number, halves up: the steps
// differ by at most one, and the longer (or shorter) ones fall in the
// middle of the loop rather than at its end, where floor would put them:
// a repeat of 8 pixels in 7 frames steps 1 1 1 2 1 1 1, not 1 1 1 1 1 1 2.
std::int64_t walked(std::int64_t total, std::int32_t frames, std::int32_t k) {
    return frames > 0 ? (2 * total * k + frames) / (2 * static_cast<std::int64_t>(frames)) : 0;
}

}  // namespace

std::optional<std::int32_t> scrollRepeat(const PatternSettings& s, int a) {
    const std::optional<tiling::Repeat> repeat = wholeRepeat(s, a);
    if (!repeat) return std::nullopt;
    const std::int64_t origin = a == 0 ? s.basex : s.basey;
    if (origin + repeat->length > INT32_MAX) return std::nullopt;
    return repeat->length;
}

bool loopIsSeamless(const PatternSettings& s, LoopKind kind) {
    return (!scrollsAcross(kind) || scrollRepeat(s, 0)) && (!scrollsDown(kind) || scrollRepeat(s, 1));
}

PatternSettings loopFrame(const PatternSettings& s, LoopKind kind, std::int32_t frames, std::int32_t k) {
    std::int32_t step[2] = {0, 0};
    const bool moves[2] = {scrollsAcross(kind), scrollsDown(kind)};
    for (int a = 0; a < 2; ++a)
        if (moves[a])
            if (const std::optional<std::int32_t> repeat = scrollRepeat(s, a))
                step[a] = static_cast<std::int32_t>(walked(*repeat, frames, k));
    // A closing ramp keeps its origin at or left of 0 (see shiftSettings),
    // where the frame after the last is frame 0's origin itself.
    PatternSettings out = shiftSettings(s, step[0], step[1]);
    const std::int32_t turn = turnsHue(kind) ? static_cast<std::int32_t>(walked(kHueCircle, frames, k)) : 0;
    if (turn != 0) {
        const std::int64_t hue = static_cast<std::int64_t>(s.hue) + turn;
        // Far out on the wheel the sum could leave 32 bits; the same colour
        // sits nearer 0.
        out.hue = hue <= INT32_MAX ? static_cast<std::int32_t>(hue) : i32::modPos(s.hue, kHueCircle) + turn;
    }
    return out;
}
