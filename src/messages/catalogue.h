// The messages of the program, in English and Japanese. The Japanese
// texts are code page 932 bytes; they are emitted unchanged.
#pragma once

namespace iz {

class Output;
class System;

// The language of the run's messages: undecided until the first message needs
// it, then English or Japanese for the rest of the run.
enum class Language { English = 0, Japanese = 1, Undecided = 2 };

enum MessageId {
    kMsgNoPermission = 0,         // QIRU09001-E
    kMsgInternalError = 1,        // QIRU09034-E  %d %d
    kMsgMaintenance = 2,          // QIRU09179-I  %08d %s
    kMsgInstallStart = 3,         // QIRU09180-I
    kMsgNoParameter = 4,          // QIRU09187-W
    kMsgTooManyParameters = 5,    // QIRU09188-W
    kMsgBadParameter = 6,         // QIRU09189-W  %s
    kMsgNoSettingsFile = 7,       // QIRU09190-W
    kMsgSettingsFileMissing = 8,  // QIRU09191-W
    kMsgUnsupportedVersion = 9,   // QIRU09192-W  %s
    kMsgBadDefinition = 10,       // QIRU09193-W  %s=%s
    kMsgPathMissing = 11,         // QIRU09194-W  %s=%s
    kMsgSetupMissing = 12,        // QIRU09195-W
    kMsgUserTerminated = 13,      // QIRU09197-W
    kMsgSettingsIoError = 14,     // QIRU09198-E  %d %d
    kMsgFileIoError = 15,         // QIRU09216-E  %d, %d
    kMsgCoreOverAll = 16,         // QIRU09253-W
    // The program's own, beyond the product's catalogue.
    kMsgWaiting = 17,            // QIRU09301-I  %s %d
    kMsgStillWaiting = 18,       // QIRU09302-I  %d %s
    kMsgBusy = 19,               // QIRU09303-E  %s %d
    kMsgRestartPending = 20,     // QIRU09304-W  %s
    kMsgRestartStop = 21,        // QIRU09305-E  %s
    kMsgInstallerSilent = 22,    // QIRU09306-W  %d %d %d %s
    kMsgBadProgramSetting = 23,  // QIRU09307-W  %s=%s
    kMsgUsage = 24,              // no identifier
};

const int kMessageCount = 25;

// The text of `id` in the run's language, deciding the language on first use.
// The result is a format string with static lifetime. Any thread may call it.
const char* get_message(Output& out, MessageId id);

// English or Japanese from the user's default language.
Language detect_language(System& sys);

// The text of `id` in `language` (English or Japanese), without deciding
// anything.
const char* catalogue_text(Language language, MessageId id);

}  // namespace iz
