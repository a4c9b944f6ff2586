#include "platform/dx7/raster/instruction_set.h"

#include <atomic>

#include "platform/dx7/raster/simd.h"

#if defined(PLOVANT_RASTER_AVX2_PATH)
#include <immintrin.h>
#endif

namespace plovant::raster {
namespace {

InstructionSet Detect() {
#if defined(PLOVANT_RASTER_AVX2_PATH)
    // Checks the processor and that the system saves the AVX registers.
    if (__builtin_cpu_supports("avx2")) return InstructionSet::Avx2;
#endif
    return InstructionSet::Sse2;
}

std::atomic<InstructionSet>& Current() {
    static std::atomic<InstructionSet> current{BestInstructionSet()};
    return current;
}

#if defined(PLOVANT_RASTER_AVX2_PATH)
__attribute__((target("avx"))) void ZeroUpperHalves() { _mm256_zeroupper(); }
#endif

}  // namespace

void ClearUpperVectorState() {
#if defined(PLOVANT_RASTER_AVX2_PATH)
    static const bool has_avx = __builtin_cpu_supports("avx");
    if (has_avx) ZeroUpperHalves();
#endif
}

InstructionSet BestInstructionSet() {
    static const InstructionSet best = Detect();
    return best;
}

InstructionSet CurrentInstructionSet() { return Current().load(std::memory_order_relaxed); }

InstructionSet UseInstructionSet(InstructionSet wanted) {
    const InstructionSet set =
        static_cast<int>(wanted) <= static_cast<int>(BestInstructionSet()) ? wanted
                                                                            : BestInstructionSet();
    Current().store(set, std::memory_order_relaxed);
    return set;
}

}  // namespace plovant::raster
