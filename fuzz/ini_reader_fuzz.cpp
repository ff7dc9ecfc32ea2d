// The INI reader on any file and query: the answer stays inside its buffer.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iz::fuzz::abort_on_problem("ini_reader_fuzz", iz::fuzz::check_ini_reader(data, size));
    return 0;
}
