#include "messages/catalogue.h"

#include "core/ascii.h"
#include "core/windows_buffer.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {
namespace {

const char kUsage[] = "Usage: installzova {-f installation-information-settings-file [-c] | -h}";

// English first, Japanese second, so that a text is found at
// language * kMessageCount + id; both tables share the usage line.
const char* const kCatalogue[2 * kMessageCount] = {
    "QIRU09001-E There is no system management permission.\n"
    "Login with administrator permission and re-install ZOVA.",
    "QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = %d %d",
    "QIRU09179-I Data for maintenance: %08d %s",
    "QIRU09180-I ZOVA installation will now start.",
    "QIRU09187-W No parameter is specified.",
    "QIRU09188-W Too many parameters are specified.",
    "QIRU09189-W The parameter contains an incorrect value. (Value = %s)",
    "QIRU09190-W The installation information settings file is not specified.",
    "QIRU09191-W The installation information settings file does not exist.",
    "QIRU09192-W An installation information settings file of an unsupported product version is "
    "specified. (zovaversion=%s)",
    "QIRU09193-W A definition in the installation information settings file is invalid. (%s=%s)",
    "QIRU09194-W A folder or file specified in the installation information settings file does "
    "not exist. (%s=%s)",
    "QIRU09195-W The setup.exe file does not exist.",
    "QIRU09197-W The user terminated installzova.exe, but ZOVA installation will continue.",
    "QIRU09198-E An error occurred in I/O of the installation information settings file. Code = "
    "%d %d",
    "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code = %d, %d",
    "QIRU09253-W y cannot be specified in the ZOVA_core key when all ZOVA components are "
    "installed.",
    "QIRU09301-I Another installation is in progress (%s). installzova waits for it to end, for "
    "at most %d seconds.",
    "QIRU09302-I installzova has waited %d seconds for another installation (%s).",
    "QIRU09303-E Another installation is still in progress (%s) after %d seconds. Nothing was "
    "started. Retry later.",
    "QIRU09304-W The machine is waiting for a restart (%s). The installation goes on.",
    "QIRU09305-E The machine is waiting for a restart (%s). Nothing was started. Restart the "
    "machine and retry.",
    "QIRU09306-W The installer (process id %d) has run for %d seconds and has written nothing for "
    "%d seconds. It is still running and installzova goes on waiting for it. Last line: %s",
    "QIRU09307-W A definition in the INSTALLZOVA section of the installation information settings "
    "file is invalid. The default is used. (%s=%s)",
    kUsage,
#include "catalogue_ja.inc"
    kUsage,
};

}  // namespace

Language detect_language(System& sys) {
    // The name was asked for into 64 bytes: a longer one was no name.
    const uint32_t kNameSize = 64;
    std::string name;
    if (sys.user_language_name(&name) == 0 && fits_buffer(name, kNameSize) &&
        equals_ignore_case(name, "japanese")) {
        return Language::Japanese;
    }
    return Language::English;
}

const char* catalogue_text(Language language, MessageId id) {
    return kCatalogue[(language == Language::Japanese ? kMessageCount : 0) + id];
}

const char* get_message(Output& out, MessageId id) {
    return catalogue_text(out.language(), id);
}

}  // namespace iz
