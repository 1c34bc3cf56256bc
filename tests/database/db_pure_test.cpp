// The database layer's rules that need no server: parameter checks, database strings, the
// parameter buffers and requests byte for byte, error texts, the user-names reader.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "attached_users.h"
#include "db_connection.h"
#include "db_params.h"
#include "db_services.h"
#include "fb_client.h"
#include "test_place.h"

namespace {

using xqv::DbProtocol;

std::string CheckMessage(const std::string& library, const std::string& database,
                         const std::string& user, const std::string& password) {
    try {
        xqv::CheckDbParams(library, database, user, password);
    } catch (const xqv::Error& e) {
        return e.Message();
    }
    return "";
}

TEST(CheckDbParams, NamesTheFirstEmptyValueInArgumentOrder) {
    EXPECT_EQ(CheckMessage("", "", "", ""), "Не задана клиентская библиотека!");
    EXPECT_EQ(CheckMessage("", "db", "SYSDBA", ""), "Не задана клиентская библиотека!");
    EXPECT_EQ(CheckMessage("fbclient.dll", " \t", "", ""), "Не задана база данных!");
    EXPECT_EQ(CheckMessage("fbclient.dll", "db", "\r\n", "x"), "Не задано имя пользователя!");
    EXPECT_EQ(CheckMessage("fbclient.dll", "db", "SYSDBA", "   "), "Не задан пароль!");
}

TEST(CheckDbParams, AcceptsValuesWithBlanksAroundAndCyrillicText) {
    EXPECT_EQ(CheckMessage("fbclient.dll", "db", "SYSDBA", " key"), "");
    // Windows-1251 letters are bytes above 127, never blanks.
    EXPECT_EQ(CheckMessage("fbclient.dll", "база", "Пользователь", "пароль"), "");
    EXPECT_EQ(xqv::TrimBlanks("\x01 \xFF\xE0 \x1F"), "\xFF\xE0");
}

struct StringForm {
    std::string text;
    std::string server;
    std::string path;
    DbProtocol protocol;
    std::string formed;
};

TEST(DatabaseString, SplitsTheFiveFormsAndFormsThemAgain) {
    const std::vector<StringForm> forms = {
        {"localhost/3051:C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb", "localhost/3051",
         "C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb", DbProtocol::Tcp,
         "localhost/3051:C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb"},
        {"C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb", "", "C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb",
         DbProtocol::Local, "C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb"},
        {"\\\\srv\\C:\\DB\\X.fdb", "srv", "C:\\DB\\X.fdb", DbProtocol::NamedPipe,
         "\\\\srv\\C:\\DB\\X.fdb"},
        {"srv@C:\\DB\\X.fdb", "srv", "C:\\DB\\X.fdb", DbProtocol::AtSign, "srv@C:\\DB\\X.fdb"},
        {"X.fdb", "", "X.fdb", DbProtocol::Local, "X.fdb"},
        // A Unix path on a server, and a drive path with a further colon (not local then).
        {"localhost/3051:/var/db/x.fdb", "localhost/3051", "/var/db/x.fdb", DbProtocol::Tcp,
         "localhost/3051:/var/db/x.fdb"},
        {"C:x:y", "C", "x:y", DbProtocol::Tcp, "C:x:y"},
        // Two backslashes inside a path do not make a named pipe.
        {"localhost/3051:\\\\nas\\share\\X.fdb", "localhost/3051", "\\\\nas\\share\\X.fdb",
         DbProtocol::Tcp, "localhost/3051:\\\\nas\\share\\X.fdb"},
        {"localhost/3051:C:\\DB\\\\X.fdb", "localhost/3051", "C:\\DB\\\\X.fdb", DbProtocol::Tcp,
         "localhost/3051:C:\\DB\\\\X.fdb"},
    };
    for (const StringForm& form : forms) {
        SCOPED_TRACE(form.text);
        const xqv::DbLocation location = xqv::SplitDatabaseString(form.text);
        EXPECT_EQ(location.server, form.server);
        EXPECT_EQ(location.path, form.path);
        EXPECT_EQ(location.protocol, form.protocol);
        EXPECT_EQ(xqv::FormDatabaseString(location), form.formed);
    }
}

TEST(ServiceManagerName, IsLocalOrOnTheServerPart) {
    EXPECT_EQ(xqv::ServiceManagerName(xqv::SplitDatabaseString("C:\\DB\\X.fdb")), "service_mgr");
    EXPECT_EQ(xqv::ServiceManagerName(xqv::SplitDatabaseString("localhost/3051:C:\\X.fdb")),
              "localhost/3051:service_mgr");
    EXPECT_EQ(xqv::ServiceManagerName(xqv::SplitDatabaseString("srv@C:\\X.fdb")),
              "srv:service_mgr");
    EXPECT_THROW(xqv::ServiceManagerName(xqv::SplitDatabaseString("@C:\\X.fdb")), xqv::Error);
    EXPECT_THROW(xqv::ServiceManagerName(xqv::SplitDatabaseString(":/var/x.fdb")), xqv::Error);
}

TEST(AttachDpb, HoldsUserPasswordAndCharacterSetAndTheRoleOnlyWhenGiven) {
    EXPECT_EQ(xqv::BuildAttachDpb(" SYSDBA\t", " pw ", ""), std::string("\x01"
                                                                        "\x1c\x06SYSDBA"
                                                                        "\x1d\x04 pw "
                                                                        "\x30\x07WIN1251"));
    EXPECT_EQ(xqv::BuildAttachDpb("SYSDBA", "pw", "ADMIN"), std::string("\x01"
                                                                        "\x1c\x06SYSDBA"
                                                                        "\x1d\x02pw"
                                                                        "\x3c\x05"
                                                                        "ADMIN"
                                                                        "\x30\x07WIN1251"));
}

TEST(ParameterBuffers, RefuseValuesLongerThanTheirLengthByte) {
    const std::string longest(255, 'a'), tooLong(256, 'a');
    EXPECT_EQ(xqv::BuildAttachDpb(longest, longest, longest).size(), 1 + 3 * 257 + 9u);
    EXPECT_EQ(xqv::BuildServiceSpb(longest, longest).size(), 2 + 2 * 257u);
    const auto message = [](auto build) {
        try {
            build();
        } catch (const xqv::Error& e) {
            return e.Message();
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { xqv::BuildAttachDpb(tooLong, "pw", ""); }),
              "Имя пользователя длиннее 255 байт!");
    EXPECT_EQ(message([&] { xqv::BuildAttachDpb("SYSDBA", tooLong, ""); }),
              "Пароль длиннее 255 байт!");
    EXPECT_EQ(message([&] { xqv::BuildAttachDpb("SYSDBA", "pw", tooLong); }),
              "Имя роли длиннее 255 байт!");
    EXPECT_EQ(message([&] { xqv::BuildServiceSpb(tooLong, "pw"); }),
              "Имя пользователя длиннее 255 байт!");
    EXPECT_EQ(message([&] { xqv::BuildServiceSpb("SYSDBA", tooLong); }),
              "Пароль длиннее 255 байт!");
    // Refused before anything is loaded or contacted.
    EXPECT_EQ(message([&] {
                  xqv::ShutdownDatabase("no_such_client.dll", "localhost/1:C:\\X.fdb", "SYSDBA",
                                        tooLong);
              }),
              "Пароль длиннее 255 байт!");
}

TEST(ServiceRequests, AreByteExact) {
    EXPECT_EQ(xqv::BuildServiceSpb("SYSDBA", "key"), std::string("\x02\x02"
                                                                 "\x1c\x06SYSDBA"
                                                                 "\x1d\x03key"));
    const std::string path = "C:\\XQV\\OrveLin\\DB_Data\\X12.fdb";
    ASSERT_EQ(path.size(), 30u);
    const std::string shutdown = xqv::BuildShutdownRequest(path);
    const std::string online = xqv::BuildOnlineRequest(path);
    EXPECT_EQ(shutdown.size(), 39u);
    EXPECT_EQ(online.size(), 39u);
    EXPECT_EQ(shutdown,
              std::string("\x08\x6a\x1e\x00", 4) + path + std::string("\x07\x01\0\0\0", 5));
    EXPECT_EQ(online, std::string("\x08\x6a\x1e\x00", 4) + path + std::string("\x6c\0\x02\0\0", 5));
    // A 300-byte path needs both bytes of its length.
    EXPECT_EQ(xqv::BuildOnlineRequest(std::string(300, 'p')).substr(0, 4),
              std::string("\x08\x6a\x2c\x01"));
    // No path, no database item.
    EXPECT_EQ(xqv::BuildShutdownRequest(""), std::string("\x08\x07\x01\0\0\0", 6));
}

TEST(StatusText, JoinsLinesAndDropsOneFinalFullStop) {
    using xqv::fb::JoinStatusLines;
    EXPECT_EQ(JoinStatusLines({}), "");
    EXPECT_EQ(JoinStatusLines({"unsuccessful metadata update", "Target shutdown mode is invalid "
                                                               "for database \"/x.fdb\"."}),
              "unsuccessful metadata update\r\nTarget shutdown mode is invalid for database "
              "\"/x.fdb\"");
    EXPECT_EQ(JoinStatusLines({"first\n", "second.."}), "first\nsecond.");
}

TEST(StatusText, OfAFailedAttachHasCodeHeadingAndTrimmedDistinctLines) {
    EXPECT_EQ(
        xqv::AttachErrorText(335544472, {"  Your user name and password are not defined. ",
                                         "Your user name and password are not defined.", "next",
                                         "Your user name and password are not "
                                         "defined."}),
        "КОД ОШИБКИ ISC:335544472\r\n"
        "\r\n"
        "СООБЩЕНИЕ ОШИБКИ ISC:\r\n"
        "Your user name and password are not defined.\r\n"
        "next\r\n"
        "Your user name and password are not defined.\r\n");
    EXPECT_EQ(xqv::AttachErrorText(1, {}), "КОД ОШИБКИ ISC:1\r\n\r\nСООБЩЕНИЕ ОШИБКИ ISC:\r\n");
}

// One isc_info_user_names item as the server writes it.
std::string UserItem(const std::string& name) {
    const char length = static_cast<char>(name.size());
    return std::string{'\x35', static_cast<char>(name.size() + 1), '\0', length} + name;
}

std::vector<std::string> Read(const std::string& buffer) {
    return xqv::ReadUserNames(buffer.data(), buffer.size());
}

using Names = std::vector<std::string>;

TEST(ReadUserNames, ReadsItemsUpToTheEndMarker) {
    std::string buffer = UserItem("SYSDBA") + UserItem("MANAGER") + UserItem("") + "\x01";
    buffer.resize(20480, '\0');
    EXPECT_EQ(Read(buffer), (Names{"SYSDBA", "MANAGER", ""}));
    // isc_info_truncated ends the list silently too.
    EXPECT_EQ(Read(UserItem("SYSDBA") + "\x02" + UserItem("LOST")), (Names{"SYSDBA"}));
    EXPECT_EQ(Read("\x01"), Names{});
    EXPECT_EQ(Read(""), Names{});
}

TEST(ReadUserNames, NeverReadsPastTheBuffer) {
    const std::string two = UserItem("SYSDBA") + UserItem("MANAGER");
    // Cut anywhere: inside an item's header, at its length byte, inside its name.
    for (size_t cut = 0; cut < two.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::vector<char> exact(two.begin(), two.begin() + cut); // no slack for overruns
        EXPECT_EQ(xqv::ReadUserNames(exact.data(), exact.size()),
                  cut < 10 ? Names{} : Names{"SYSDBA"});
    }
    EXPECT_EQ(Read(two), (Names{"SYSDBA", "MANAGER"}));
    // A length byte that runs beyond the buffer ends the reading before that name.
    EXPECT_EQ(Read(UserItem("A") + std::string("\x35\x01\x00\xff"
                                               "abc",
                                               7)),
              (Names{"A"}));
    // A buffer made only of the tag: each item header is incomplete at the end.
    EXPECT_EQ(Read(std::string(20480, '\x35')).size(), 0u + 20480 / (4 + 0x35));
}

TEST(SameTextIgnoringCase, FoldsLatinAndCyrillicLetters) {
    EXPECT_TRUE(xqv::SameTextIgnoringCase("sysdba", "SYSDBA"));
    EXPECT_TRUE(xqv::SameTextIgnoringCase("Менеджер ёлки", "МЕНЕДЖЕР ЁЛКИ"));
    EXPECT_FALSE(xqv::SameTextIgnoringCase("SYSDBA", "SYSDBA2"));
    EXPECT_FALSE(xqv::SameTextIgnoringCase("A@", "a`"));
}

// Every letter of both alphabets in Windows-1251, by byte value: lower and upper case of each
// letter match, no two different letters match, and the bytes around the letters stay apart.
TEST(SameTextIgnoringCase, FoldsEveryCyrillicLetterAndNothingElse) {
    auto byte = [](int value) { return std::string(1, static_cast<char>(value)); };
    std::vector<std::pair<int, int>> letters; // lower, upper
    for (int i = 0; i < 32; ++i)
        letters.emplace_back(0xE0 + i, 0xC0 + i); // а..я, А..Я
    letters.emplace_back(0xB8, 0xA8);             // ё, Ё
    for (int i = 0; i < 26; ++i)
        letters.emplace_back('a' + i, 'A' + i);
    for (const auto& [lower, upper] : letters) {
        EXPECT_TRUE(xqv::SameTextIgnoringCase(byte(lower), byte(upper))) << lower;
        EXPECT_TRUE(xqv::SameTextIgnoringCase(byte(upper), byte(lower))) << lower;
        for (const auto& other : letters) {
            if (other.first == lower) continue;
            EXPECT_FALSE(xqv::SameTextIgnoringCase(byte(lower), byte(other.second)))
                << lower << " " << other.second;
        }
    }
    // Signs next to the letters in the code page are not letters: each is only itself.
    for (int sign : {0xA9, 0xB9, 0xBF, 0xA7, 0xB7, 0x40, 0x60, 0x5B, 0x7B})
        for (int other = 1; other < 256; ++other) {
            if (other == sign) continue;
            EXPECT_FALSE(xqv::SameTextIgnoringCase(byte(sign), byte(other)))
                << sign << " " << other;
        }
    EXPECT_TRUE(xqv::SameTextIgnoringCase("ЯРЁЖ АБВГД эюя", "ярёж абвгд ЭЮЯ"));
}

TEST(ClientLibrary, ReportsALibraryThatCannotBeLoadedOrLacksFunctions) {
    try {
        xqv::fb::ClientLibrary::Load("no_such_client_library.dll");
        FAIL();
    } catch (const xqv::Error& e) {
        const std::string named =
            "Невозможно загрузить клиентскую библиотеку \"no_such_client_library.dll\": ";
#ifdef _WIN32
        EXPECT_EQ(e.Message(), named + "библиотека не найдена.");
#else
        // The system's own reason follows.
        EXPECT_EQ(e.Message().substr(0, named.size()), named);
        EXPECT_GT(e.Message().size(), named.size());
#endif
    }
    const std::string other = dbtest::OtherSystemLibrary();
    try {
        xqv::fb::ClientLibrary::Load(other);
        FAIL();
    } catch (const xqv::Error& e) {
        EXPECT_EQ(e.Message(), "В клиентской библиотеке \"" + other +
                                   "\" не найдена функция \"isc_attach_database\"!");
    }
}

TEST(TDBConnection, IsConfiguredButNotAttachedByItsConstructor) {
    xqv::TDBConnection connection("localhost/3051:C:\\X.fdb", "SYSDBA", "pw", "");
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(*connection.DbHandle(), isc_db_handle(0));
    EXPECT_EQ(connection.Connection().characterSet, "WIN1251");
    EXPECT_EQ(connection.Connection().sqlDialect, 3);
    EXPECT_TRUE(connection.Transaction().readCommitted);
    EXPECT_FALSE(connection.Transaction().autoCommit);
    EXPECT_TRUE(connection.Query().fetchAll);
    connection.CloseConnection(); // nothing to detach
}

} // namespace
