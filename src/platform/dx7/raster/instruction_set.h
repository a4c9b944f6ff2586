// Which build of the triangle routines the rasteriser uses. Each x86-64 processor runs
// the SSE2 build; processors with AVX2 run the AVX2 build, which gives the same pixels
// in fewer instructions. The choice is made once, from what the processor offers, and
// can be narrowed (tests draw the same scenes with both builds and compare).
#pragma once

namespace plovant::raster {

enum class InstructionSet {
    Sse2,  // or plain C++ where SSE2 is not available
    Avx2,
};

// The widest set this processor offers that the rasteriser has routines for.
InstructionSet BestInstructionSet();

// The set used by draws from now on.
InstructionSet CurrentInstructionSet();

// Uses `wanted` from the next draw on, or the best set offered when `wanted` is wider.
// Returns the set now in force.
InstructionSet UseInstructionSet(InstructionSet wanted);

// Zeroes the upper halves of the AVX registers, where the processor has them. While
// those halves hold data (left by other code, such as a library's AVX routines that
// did not clear them), some processors run every SSE instruction with an extra
// dependency on them, which makes SSE2 code up to twice as slow. The drawing entry
// points call this before their work; it costs about a cycle.
void ClearUpperVectorState();

}  // namespace plovant::raster
