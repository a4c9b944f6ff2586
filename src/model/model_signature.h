// What the first bytes of a file say about it, for the messages of a model read that
// failed: a file that is not an RSM model at all, or a model of a version whose layout
// the viewer's reader does not read, is called so before the reader's own complaint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "errors/error.h"

namespace plovant {

// The bytes DescribeNotAModel looks at: the signature "GRSM" and the version's major
// and minor bytes (offsets 4 and 5).
inline constexpr std::size_t kSignatureBytes = 6;

// Describes the start of a file (its first bytes, as many as there are) when it is not
// a model the reader reads, e.g.
//   "not an RSM model: the file is empty"
//   "not an RSM model: it starts with 'BM' (a Windows bitmap)"
//   "an RSM model of version 2.3, not one of the versions 1.4 and 1.5 the viewer reads"
// Bytes outside the printable ASCII range, the quote and the backslash are shown as
// \xNN. Returns an empty text for "GRSM" with version 1.4 or 1.5, and for "GRSM" cut off
// before its version: there the reader's own message says what is wrong.
std::string DescribeNotAModel(std::span<const uint8_t> head);

// DescribeNotAModel of the first bytes of the file at `path`; empty when it cannot be
// read (the read's own failure says why).
std::string DescribeNotAModelFile(const std::filesystem::path& path);

// The failure of reading the model file at `path`, with what its first bytes say put
// first: "NAME: not an RSM model: it starts with 'BM' (a Windows bitmap). Read as a model:
// the texture id count in mesh 1 is negative (-1750950511)". Failures that happen before
// the contents are read (a missing file, no permission) and files the description has
// nothing to say about come back unchanged. The error number is kept.
Error ExplainModelReadFailure(const std::filesystem::path& path, const Error& failure);

// The same for a model read from bytes in memory, `name` standing for the file.
Error ExplainModelReadFailure(std::span<const uint8_t> bytes, const std::string& name,
                              const Error& failure);

}  // namespace plovant
