// The language of the run's messages: undecided until the first message needs
// it, then English or Japanese for the rest of the run.
#pragma once

namespace iz {

const int kLanguageEnglish = 0;
const int kLanguageJapanese = 1;
const int kLanguageUndecided = 2;

}  // namespace iz
