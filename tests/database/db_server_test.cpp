// The database operations against the real test server: attach, the shutdown and online
// requests (the mode checked through the database itself), the attached-users query.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "attached_users.h"
#include "db_connection.h"
#include "db_services.h"
#include "server_support.h"
#include "test_env.h"

namespace {

const char* const kModeMarker = "Target shutdown mode is invalid for database";
const char* const kLoginMessage = "Your user name and password are not defined. Ask your "
                                  "database administrator to set up a Firebird login";
const char* const kModeQuery = "SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE";
const long kOnline = 0, kMultiUserShutdown = 1;

std::string Library() {
    return xqv::fb::PlatformClientLibraryName();
}
std::string User() {
    return testenv::FbUser();
}
std::string Password() {
    return testenv::FbPassword();
}

class DatabaseServer : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(testenv::Dir().empty()) << "run through ctest"; }
};

TEST_F(DatabaseServer, ConnectionAttachesOnceAndDetaches) {
    const std::string database = dbtest::CreateTestDatabase("db_attach.fdb");
    xqv::UseConnectionClientLibrary(Library());
    xqv::TDBConnection connection(database, " " + User() + " ", Password(), "");
    connection.OpenConnection();
    ASSERT_TRUE(connection.Connected());
    const isc_db_handle handle = *connection.DbHandle();
    EXPECT_NE(handle, isc_db_handle(0));
    connection.OpenConnection();
    EXPECT_EQ(*connection.DbHandle(), handle);
    EXPECT_EQ(dbtest::QueryNumber(database, "SELECT COUNT(*) FROM MON$ATTACHMENTS "
                                            "WHERE MON$USER = 'SYSDBA' AND MON$SYSTEM_FLAG = 0"),
              2);
    connection.CloseConnection();
    EXPECT_FALSE(connection.Connected());
    connection.CloseConnection();
    EXPECT_EQ(dbtest::QueryNumber(database, "SELECT COUNT(*) FROM MON$ATTACHMENTS "
                                            "WHERE MON$USER = 'SYSDBA' AND MON$SYSTEM_FLAG = 0"),
              1);
}

TEST_F(DatabaseServer, WrongPasswordPassesTheServersMessageOn) {
    const std::string database = dbtest::CreateTestDatabase("db_login.fdb");
    xqv::UseConnectionClientLibrary(Library());
    xqv::TDBConnection connection(database, User(), Password() + "x", "");
    try {
        connection.OpenConnection();
        FAIL() << "attached with a wrong password";
    } catch (const xqv::fb::ClientError& e) {
        EXPECT_EQ(e.IscCode(), isc_login);
        EXPECT_EQ(e.Message(), "КОД ОШИБКИ ISC:" + std::to_string(isc_login) +
                                   "\r\n\r\nСООБЩЕНИЕ ОШИБКИ ISC:\r\n" + kLoginMessage + ".\r\n");
    }
    EXPECT_FALSE(connection.Connected());

    try {
        xqv::ShutdownDatabase(Library(), database, User(), Password() + "x");
        FAIL() << "shut down with a wrong password";
    } catch (const xqv::fb::ClientError& e) {
        EXPECT_EQ(e.Message(), kLoginMessage);
        EXPECT_EQ(e.IscCode(), isc_login);
        EXPECT_NE(e.SqlCode(), 0);
    }
    EXPECT_EQ(dbtest::QueryNumber(database, kModeQuery), kOnline);
}

// Runs an operation that must fail because the database is already in the mode asked for.
void ExpectAlreadyInMode(void (*operation)(const std::string&, const std::string&,
                                           const std::string&, const std::string&),
                         const std::string& database) {
    try {
        operation(Library(), database, User(), Password());
        ADD_FAILURE() << "the server accepted a request for the mode the database is in";
    } catch (const xqv::fb::ClientError& e) {
        EXPECT_NE(e.Message().find(kModeMarker), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().back(), '.');
        EXPECT_NE(e.IscCode(), 0);
    }
}

TEST_F(DatabaseServer, ShutdownAndOnlineSwitchTheModeOnceEach) {
    const std::string database = dbtest::CreateTestDatabase("db_modes.fdb");
    ASSERT_EQ(dbtest::QueryNumber(database, kModeQuery), kOnline);

    xqv::ShutdownDatabase(Library(), database, User(), Password());
    EXPECT_EQ(dbtest::QueryNumber(database, kModeQuery), kMultiUserShutdown);
    ExpectAlreadyInMode(xqv::ShutdownDatabase, database);
    EXPECT_EQ(dbtest::QueryNumber(database, kModeQuery), kMultiUserShutdown);

    xqv::BringDatabaseOnline(Library(), database, User(), Password());
    EXPECT_EQ(dbtest::QueryNumber(database, kModeQuery), kOnline);
    ExpectAlreadyInMode(xqv::BringDatabaseOnline, database);
    EXPECT_EQ(dbtest::QueryNumber(database, kModeQuery), kOnline);
}

TEST_F(DatabaseServer, ShutdownRefusesAnEmptyPasswordBeforeContactingTheServer) {
    try {
        xqv::ShutdownDatabase(Library(), "localhost/1:C:\\none.fdb", User(), "  ");
        FAIL();
    } catch (const xqv::Error& e) {
        EXPECT_EQ(e.Message(), "Не задан пароль!");
    }
}

TEST_F(DatabaseServer, AttachedUsersAreListedInTheServersOrderWithoutOurOwn) {
    const std::string database = dbtest::CreateTestDatabase("db_users.fdb");
    dbtest::Execute(database, "CREATE OR ALTER USER MANAGER PASSWORD 'mgr3051'");

    std::vector<std::string> users = {"left over"};
    xqv::GetAttachedUsers(Library(), database, User(), Password(), "", users);
    EXPECT_TRUE(users.empty());

    auto first = dbtest::AttachAs(database, User(), Password());
    auto second = dbtest::AttachAs(database, User(), Password());
    auto manager = dbtest::AttachAs(database, "MANAGER", "mgr3051");

    // The raw answer on one of them, read by our reader from a real buffer.
    char buffer[20480];
    const char items[] = {isc_info_user_names};
    xqv::fb::StatusVector status;
    ASSERT_EQ(first->Client().Api().isc_database_info(status, first->Handle(), 1, items,
                                                      sizeof buffer, buffer),
              0);
    // The server names the newest attachment first.
    EXPECT_EQ(xqv::ReadUserNames(buffer, sizeof buffer),
              (std::vector<std::string>{"MANAGER", "SYSDBA", "SYSDBA"}));

    xqv::GetAttachedUsers(Library(), database, User(), Password(), "", users);
    // Our own attachment, the newest, is the SYSDBA entry removed.
    EXPECT_EQ(users, (std::vector<std::string>{"MANAGER", "SYSDBA", "SYSDBA"}));

    std::vector<std::string> lowerCase;
    xqv::GetAttachedUsers(Library(), database, "sysdba", Password(), "", lowerCase);
    EXPECT_EQ(lowerCase, users);
    // Blanks around the name are not sent, so they do not keep our own entry in the list.
    std::vector<std::string> blanks;
    xqv::GetAttachedUsers(Library(), database, "  SYSDBA ", Password(), "", blanks);
    EXPECT_EQ(blanks, users);
}

TEST_F(DatabaseServer, AttachedUsersLeaveTheListAloneOnFailure) {
    const std::string database = dbtest::CreateTestDatabase("db_users_fail.fdb");
    std::vector<std::string> users = {"kept"};
    try {
        xqv::GetAttachedUsers(Library(), database, User(), Password() + "x", "", users);
        FAIL();
    } catch (const xqv::fb::ClientError& e) {
        EXPECT_EQ(e.Message().rfind("КОД ОШИБКИ ISC:" + std::to_string(isc_login) + "\r\n", 0), 0u)
            << e.Message();
    }
    EXPECT_THROW(
        xqv::GetAttachedUsers("no_such_client.dll", database, User(), Password(), "", users),
        xqv::Error);
    EXPECT_THROW(xqv::GetAttachedUsers(Library(), database, User(), "", "", users), xqv::Error);
    EXPECT_EQ(users, std::vector<std::string>{"kept"});
    // Back to the platform's library for the next user of the connection layer.
    xqv::UseConnectionClientLibrary(Library());
}

} // namespace
