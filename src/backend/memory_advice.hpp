// memory_advice.hpp: hints to the system about the large arrays a batch builds.
#pragma once

#include <cstddef>

namespace brenlox_copt::backend {

/// Asks the system to back the whole 2 MiB pages inside [data, data + bytes) with huge pages where it can (Linux,
/// with transparent huge pages in its "madvise" mode): an array of a large batch, written once, then costs one page
/// fault per 2 MiB instead of one per 4 KiB, which is most of what filling fresh memory costs. Only advice: small
/// arrays, other systems and refusals change nothing.
void advise_huge_pages(const void* data, std::size_t bytes) noexcept;

}  // namespace brenlox_copt::backend
