// The language of the run's messages: undecided until the first message needs
// it, then English or Japanese for the rest of the run.
#pragma once

namespace iz {

enum class Language { English = 0, Japanese = 1, Undecided = 2 };

}  // namespace iz
