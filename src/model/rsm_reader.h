// The pieces of the RSM reader below LoadRsm (declared in model/rsm_model.h), for
// readers of other sources and for tests.
#pragma once

#include <cstdint>
#include <string>

#include "model/byte_reader.h"
#include "model/rsm_model.h"

namespace plovant {

// Looks at the bytes at the reader's position; bytes beyond the end count as zeros.
//   2: one of the next 4 bytes is not zero; the position is unchanged.
//   1: the next 4 bytes are zero and one of the 4 after them is not; the zero int32
//      is consumed.
//   0: the next 8 bytes are zero (or missing); they are consumed (as far as they
//      exist), so at the end of the bytes the result is 0.
int16_t ProbeBlock(ByteReader& reader);

// Reads a whole model from `reader`, which stands at the first byte of the file.
// `name` names the file in error descriptions. Throws a plovant::Error.
RsmModel ReadRsm(ByteReader& reader, const std::string& name);

}  // namespace plovant
