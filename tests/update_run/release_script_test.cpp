// The check of the release script before a run: the sample release this program carries passes,
// and so does ordinary Windows-1251 text; a script with nothing to run, another encoding, or an
// end inside a statement is refused with its reason.
#include <gtest/gtest.h>
#include <string>
#include "errors.h"
#include "release_script.h"

namespace {

using xqv::ReleaseScriptFault;

TEST(ReleaseScript, TheEmbeddedReleasePasses) {
    EXPECT_NO_THROW(xqv::CheckReleaseScript());
}

TEST(ReleaseScript, Windows1251TextPasses) {
    // Cyrillic of every kind in comments and literals, a SET TERM stretch, a closing comment.
    EXPECT_EQ(ReleaseScriptFault("/* Обновление: ёлка, Ёж, № 5 «цитата» */\r\n"
                                 "INSERT INTO T VALUES ('Съешь ещё этих мягких французских "
                                 "булок, да выпей же чаю');\r\n"
                                 "SET TERM ^ ;\r\nCREATE PROCEDURE P AS BEGIN EXIT; END^\r\n"
                                 "SET TERM ; ^\r\ncommit;\r\n-- конец\r\n"),
              "");
    EXPECT_EQ(ReleaseScriptFault("UPDATE T SET A = 'Р'; -- Р and С alone are letters too\r\n"), "");
}

TEST(ReleaseScript, FaultsAreNamed) {
    EXPECT_EQ(ReleaseScriptFault(""), "пустой");
    EXPECT_EQ(ReleaseScriptFault(" \r\n\t\r\n"), "пустой");
    EXPECT_EQ(ReleaseScriptFault("/* только комментарий */\r\n-- и еще\r\n"),
              "не содержит ни одного оператора");
    EXPECT_EQ(ReleaseScriptFault("commit;\r\nINSERT INTO T VALUES (1);\r\nDELETE FROM T WHERE"),
              "обрывается посреди оператора, начатого в строке 3");
    EXPECT_EQ(ReleaseScriptFault("commit;\r\nINSERT INTO T VALUES ('текст;\r\n"),
              "обрывается посреди оператора, начатого в строке 2");
    EXPECT_EQ(ReleaseScriptFault("commit;\r\n/* комментарий без конца"),
              "обрывается посреди оператора, начатого в строке 2");
    EXPECT_EQ(ReleaseScriptFault("SET TERM ^ ;\r\nCREATE PROCEDURE P AS BEGIN EXIT; END;\r\n"),
              "обрывается посреди оператора, начатого в строке 2");
}

TEST(ReleaseScript, OtherEncodingsAreRefused) {
    const std::string notCp1251 = "записан не в кодировке Windows-1251";
    // The same text as UTF-8 (written here byte by byte), with and without its byte-order mark.
    const std::string utf8 =
        "INSERT INTO T VALUES ('\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82');\r\n";
    EXPECT_EQ(ReleaseScriptFault(utf8), notCp1251);
    EXPECT_EQ(ReleaseScriptFault("\xEF\xBB\xBF"
                                 "commit;\r\n"),
              notCp1251);
    // UTF-16: every other byte zero.
    EXPECT_EQ(ReleaseScriptFault(std::string("c\0o\0m\0m\0i\0t\0;\0", 14)), notCp1251);
    // The byte the code page leaves undefined.
    EXPECT_EQ(ReleaseScriptFault("INSERT INTO T VALUES ('\x98');\r\n"), notCp1251);
}

} // namespace
