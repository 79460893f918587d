// Whether the processor has the SHA extensions that the fast SHA-1 and SHA-256
// compressions use.
#pragma once

namespace vorlan::detail {

// SHA extensions with SSE4.1 on x86; false elsewhere.
bool HasShaInstructions();

}  // namespace vorlan::detail
