// The catalogue and the language choice.
#include "messages/catalogue.h"

#include <gtest/gtest.h>

#include "messages/output.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

TEST(Catalogue, LanguageFollowsTheEnglishNameOfTheUserLanguage) {
    struct Case {
        const char* name;
        Language language;
    } cases[] = {
        {"Japanese", Language::Japanese}, {"JAPANESE", Language::Japanese},
        {"japanese", Language::Japanese}, {"English", Language::English},
        {"German", Language::English},    {"Chinese", Language::English},
        {"Japanese2", Language::English}, {"Japanes", Language::English},
        {"", Language::English},  // the query fails
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.language_name = c.name;
        EXPECT_EQ(c.language, detect_language(sys)) << c.name;
    }
}

TEST(Catalogue, LanguageIsDecidedOnceAtFirstUse) {
    FakeSystem sys;
    sys.language_name = "Japanese";
    Output out(sys);
    const char* first = get_message(out, kMsgNoParameter);
    sys.language_name = "English";
    EXPECT_STREQ(first, get_message(out, kMsgNoParameter));
    EXPECT_EQ(Language::Japanese, out.language());
}

TEST(Catalogue, EveryMessageButTheUsageLineCarriesItsIdentifierInBothLanguages) {
    const char* ids[] = {"QIRU09001-E", "QIRU09034-E", "QIRU09179-I", "QIRU09180-I", "QIRU09187-W",
                         "QIRU09188-W", "QIRU09189-W", "QIRU09190-W", "QIRU09191-W", "QIRU09192-W",
                         "QIRU09193-W", "QIRU09194-W", "QIRU09195-W", "QIRU09197-W", "QIRU09198-E",
                         "QIRU09216-E", "QIRU09253-W", "QIRU09301-I", "QIRU09302-I", "QIRU09303-E",
                         "QIRU09304-W", "QIRU09305-E", "QIRU09306-W", "QIRU09307-W"};
    for (int id = 0; id < kMsgUsage; ++id) {
        for (Language language : {Language::English, Language::Japanese}) {
            std::string text = catalogue_text(language, static_cast<MessageId>(id));
            EXPECT_EQ(std::string(ids[id]) + " ", text.substr(0, 12))
                << id << "/" << static_cast<int>(language);
        }
    }
    EXPECT_STREQ("Usage: installzova {-f installation-information-settings-file [-c] | -h}",
                 catalogue_text(Language::Japanese, kMsgUsage));
    EXPECT_STREQ(catalogue_text(Language::English, kMsgUsage),
                 catalogue_text(Language::Japanese, kMsgUsage));
}

TEST(Catalogue, EnglishTextsAreExact) {
    EXPECT_STREQ(
        "QIRU09001-E There is no system management permission.\n"
        "Login with administrator permission and re-install ZOVA.",
        catalogue_text(Language::English, kMsgNoPermission));
    EXPECT_STREQ(
        "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code = "
        "%d, %d",
        catalogue_text(Language::English, kMsgFileIoError));
    EXPECT_STREQ("QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = %d %d",
                 catalogue_text(Language::English, kMsgInternalError));
    EXPECT_STREQ(
        "QIRU09253-W y cannot be specified in the ZOVA_core key when all ZOVA components are "
        "installed.",
        catalogue_text(Language::English, kMsgCoreOverAll));
}

TEST(Catalogue, JapaneseTextsAreCodePage932Bytes) {
    // "システム" opens QIRU09001; "：" is the full-width colon of QIRU09179;
    // QIRU09001 holds a line feed before "Administrators".
    std::string m0 = catalogue_text(Language::Japanese, kMsgNoPermission);
    EXPECT_EQ(bytes({0x83, 0x56, 0x83, 0x58, 0x83, 0x65, 0x83, 0x80}), m0.substr(12, 8));
    EXPECT_NE(std::string::npos, m0.find("\nAdministrators"));
    std::string m2 = catalogue_text(Language::Japanese, kMsgMaintenance);
    EXPECT_NE(std::string::npos, m2.find(bytes({0x81, 0x46}) + "%08d %s"));
    std::string m1 = catalogue_text(Language::Japanese, kMsgInternalError);
    EXPECT_EQ("QIRU09034-E ZOVA " + bytes({0x83, 0x43}), m1.substr(0, 19));
    std::string m15 = catalogue_text(Language::Japanese, kMsgFileIoError);
    EXPECT_NE(std::string::npos, m15.find(bytes({0x81, 0x42}) + " "));  // "。 " then the code
    // The full-width comma "，" and the corner brackets of QIRU09253.
    std::string m16 = catalogue_text(Language::Japanese, kMsgCoreOverAll);
    EXPECT_NE(std::string::npos, m16.find(bytes({0x81, 0x43})));
    EXPECT_NE(std::string::npos, m16.find(bytes({0x81, 0x75}) + "y" + bytes({0x81, 0x76})));
}

}  // namespace
}  // namespace iz
