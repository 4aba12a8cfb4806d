// Fuzz target for the renderer: any 36 parameters at tiny sizes must render
// to exactly the pixels of the per-pixel reference.
//
// The input is read as the 36 parameters in settings-file order, four
// little-endian bytes each (missing bytes are zero), then one byte choosing
// the thread count. The size is folded to at most 12 x 12 and the
// supersampling factor to at most 6, so that the reference stays fast; every
// other value is taken as it is and repaired only by validate(), as a loaded
// file would be.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pattern_settings.h"
#include "reference.h"
#include "render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto byteAt = [&](std::size_t i) -> std::uint32_t { return i < size ? data[i] : 0u; };
    PatternSettings s;
    for (std::size_t k = 0; k < kParamKeyCount; ++k) {
        const std::uint32_t u = byteAt(4 * k) | byteAt(4 * k + 1) << 8 | byteAt(4 * k + 2) << 16 |
                                byteAt(4 * k + 3) << 24;
        setParam(s, kParamKeys[k], static_cast<std::int32_t>(u));
    }
    s.bmpw = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(s.bmpw) % 12u);
    s.bmph = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(s.bmph) % 12u);
    s.accuracy = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(s.accuracy) % 6u);
    s.validate();

    const std::size_t n = static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph);
    std::vector<std::uint32_t> reference(n), fast(n, 0xDEADBEEFu);
    renderReference(s, reference.data());
    RenderOptions options;
    options.threads = 1 + static_cast<int>(byteAt(4 * kParamKeyCount) % 3u);
    renderImage(s, fast.data(), options);
    if (fast != reference) {
        std::fprintf(stderr, "render_fuzz: fast != reference for");
        for (const ParamKey& k : kParamKeys) std::fprintf(stderr, " %s=%d", k.name, getParam(s, k));
        std::fprintf(stderr, " threads=%d\n", options.threads);
        std::abort();
    }
    return 0;
}
