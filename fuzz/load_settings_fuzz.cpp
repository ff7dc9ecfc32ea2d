// Loading a hostile settings file and writing the work files from it.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iz::fuzz::abort_on_problem("load_settings_fuzz", iz::fuzz::check_load_settings(data, size));
    return 0;
}
