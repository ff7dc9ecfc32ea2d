// The POSIX console's character set: which locale values convert, and what
// becomes of bytes that do not convert.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "messages/catalogue.h"
#include "platform/posix/posix_charset.h"
#include "platform/system.h"

namespace iz {
namespace {

TEST(ConsoleCharset, OnlyALocaleNamingAnotherSetConverts) {
    struct Case {
        const char* locale;
        const char* charset;
    } cases[] = {
        {"ja_JP.UTF-8", "UTF-8"},
        {"ja_JP.utf8", "utf8"},
        {"ja_JP.eucJP@mod", "eucJP"},
        {"ja_JP.SJIS", ""},
        {"ja_JP.sjis", ""},
        {"ja_JP.Shift_JIS", ""},
        {"ja_JP.SHIFT_JIS", ""},
        {"ja_JP.cp932", ""},
        {"ja", ""},
        {"ja_JP", ""},
        {"ja_JP@mod.x", ""},
        {"C", ""},
        {"en_US.ISO-8859-1", "ISO-8859-1"},
        {"ja_JP.ASCII//IGNORE", "ASCII"},  // iconv's options are no part of it
        {"en_US.ISO-8859-1//TRANSLIT", "ISO-8859-1"},
        {"ja_JP.\xC3\xA9", ""},  // iconv would quietly fall back on ASCII
        {"ja_JP.//", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.charset, posix::console_charset(c.locale)) << c.locale;
    }
    EXPECT_EQ("", posix::console_charset(nullptr));
}

TEST(ConsoleCharset, WhatDoesNotConvertIsShownAsASubstitute) {
    // "イン" in code page 932, then bytes no code page 932 text holds: 0x80,
    // a lead byte before a blank, 0xA0, a lead byte at the very end.
    const std::string text = "\x83\x43\x83\x93 A \x80 B \x81 \xA0 \x82";
    struct Case {
        const char* charset;
        std::string expected;
    } cases[] = {
        {"UTF-8", "\xE3\x82\xA4\xE3\x83\xB3 A ? B ? ? ?"},
        {"ISO-8859-1", "?? A ? B ? ? ?"},                 // no kana in Latin-1: one substitute each
        {"ISO-2022-JP", "\x1B$B%$%s\x1B(B A ? B ? ? ?"},  // shift states closed
        {"NO-SUCH-SET", text},                            // unknown: unchanged
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, posix::from_cp932(text, c.charset)) << c.charset;
    }
}

// glibc's //IGNORE reports EILSEQ after it has consumed the whole input.
TEST(ConsoleCharset, IconvOptionsNeverTakeTheConverterOutsideItsText) {
    const std::string text = "\x83\x43\x83\x93 A \x80 B \x82";
    for (const char* charset : {"ASCII//IGNORE", "ISO-8859-1//IGNORE", "UTF-8//IGNORE"}) {
        std::string shown = posix::from_cp932(text, charset);
        EXPECT_NE(std::string::npos, shown.find(" A ")) << charset;
        EXPECT_NE(std::string::npos, shown.find(" B ")) << charset;
    }
}

TEST(ConsoleCharset, OnlyTextNotAlreadyInTheConsolesSetIsConverted) {
    const std::string done = "\x8A\xAE\x97\xB9";  // "完了" in code page 932
    struct Case {
        std::string text;
        const char* charset;
        std::string shown;
    } cases[] = {
        {"workdir=/tmp/caf\xC3\xA9", "UTF-8", "workdir=/tmp/caf\xC3\xA9"},
        {"/tmp/\xE6\x97\xA5\xE6\x9C\xAC", "UTF-8", "/tmp/\xE6\x97\xA5\xE6\x9C\xAC"},
        {done + " /tmp/caf\xC3\xA9", "UTF-8", "\xE5\xAE\x8C\xE4\xBA\x86 /tmp/caf\xC3\xA9"},
        {"caf\xE9", "ISO-8859-1", "caf\xE9"},
        {done, "EUC-JP", "\xB4\xB0\xCE\xBB"},
        {"caf\xC3\xA9 " + done, "NO-SUCH-SET", "caf\xC3\xA9 " + done},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.shown, posix::console_text(c.text, c.charset)) << c.text << " " << c.charset;
    }
}

// The catalogue's Japanese is never mistaken for text the user wrote.
TEST(ConsoleCharset, CatalogueJapaneseIsAlwaysConverted) {
    for (const char* charset : {"UTF-8", "EUC-JP", "ISO-8859-1"}) {
        for (int id = 0; id < kMessageCount; ++id) {
            std::string text = catalogue_text(Language::Japanese, static_cast<MessageId>(id));
            EXPECT_EQ(posix::from_cp932(text, charset), posix::console_text(text, charset))
                << charset << " " << id;
        }
    }
}

// The result record's texts: from the locale's character set to UTF-8, with
// U+FFFD for what does not convert, whatever the set.
TEST(RecordText, LocaleCharacterSetBecomesUtf8) {
    struct Case {
        const char* locale;
        std::string text;
        std::string utf8;
    } cases[] = {
        {"ja_JP.SJIS", "\x93\xfa A", "\xE6\x97\xA5 A"},  // 日
        {"ja_JP", "\x93\xfa", "\xE6\x97\xA5"},
        {"ja_JP.UTF-8", "\xE6\x97\xA5", "\xE6\x97\xA5"},
        {"ja_JP.UTF-8",
         "a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"en_US.ISO-8859-1", "r\xE9", "r\xC3\xA9"},
        {"C", "r\xE9", "r\xEF\xBF\xBD"},
        {"en_US.NO-SUCH-SET", "r\xE9", "r\xEF\xBF\xBD"},
        {"en_US.ASCII//IGNORE", "r\xE9s", "r\xEF\xBF\xBDs"},
        {"ja_JP.SJIS", "\x93", "\xEF\xBF\xBD"},  // a lead byte cut at the end
    };
    const char* saved = std::getenv("LC_ALL");
    const std::string kept = saved != nullptr ? saved : "";
    std::unique_ptr<System> sys = make_system();
    for (const Case& c : cases) {
        setenv("LC_ALL", c.locale, 1);
        EXPECT_EQ(c.utf8, sys->to_utf8(c.text)) << c.locale;
    }
    if (saved != nullptr) {
        setenv("LC_ALL", kept.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

}  // namespace
}  // namespace iz
#endif
