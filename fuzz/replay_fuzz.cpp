// Replaying the run log against a forward reading of it.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iz::fuzz::abort_on_problem("replay_fuzz", iz::fuzz::check_replay(data, size));
    return 0;
}
