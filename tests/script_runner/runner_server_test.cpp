// The runner with the real script library against the test server: the sample release script
// on a version 6 database, the release check on a database already updated, a failure in the
// middle of a script, connect failures.
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>
#include "module_loader.h"
#include "script_db.h"
#include "script_library.h"
#include "script_library_probe.h"
#include "scripted_window.h"

namespace {

using testenv::ScriptDatabase;
using testenv::UniqueName;
using Lines = std::vector<std::string>;

const std::string kNote = "\rВероятно, имеет место несоответствие между версией обновления и "
                          "версией обновляемой базы данных!\r\r";

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// What the sample release script leaves in the database.
const char* const kReleaseChecks = R"(execute block as
begin
  if ((select max(VERSIO_NO) from VERSIO) <> 7) then exception E_DATA_CHECK 'version';
  if ((select count(*) from GOODS_BARCODES) <> 6) then exception E_DATA_CHECK 'barcodes';
  if (not exists(select 1 from UNITS where ID = 5 and NAME = 'Упаковка')) then
    exception E_DATA_CHECK 'unit 5';
  if ((select NOTE from UNITS where ID = 4) <> 'Погонный метр') then exception E_DATA_CHECK 'unit 4';
  if ((select SETTING_VALUE from SETTINGS where CODE = 'FIRM') <> 'ООО "Орвелин"; филиал') then
    exception E_DATA_CHECK 'firm';
  if ((select count(*) from PAYMENT_TYPES) <> 3) then exception E_DATA_CHECK 'payment types';
  if ((select WEIGHT from GOODS where ID = 2) <> 1.030) then exception E_DATA_CHECK 'weight';
  if ((select count(*) from RDB$TRIGGERS where RDB$TRIGGER_INACTIVE = 0 and
       RDB$TRIGGER_NAME in ('UNITS_BI', 'GOODS_BI', 'PAYMENT_TYPES_BI')) <> 3) then
    exception E_DATA_CHECK 'triggers';
  if (not exists(select 1 from RDB$RELATION_CONSTRAINTS
                 where RDB$CONSTRAINT_NAME = 'FK_GOODS_BARCODES_GOODS')) then
    exception E_DATA_CHECK 'foreign key';
  if (not exists(select 1 from RDB$PROCEDURES where RDB$PROCEDURE_NAME = 'GOODS_BY_BARCODE'))
    then exception E_DATA_CHECK 'procedure';
end;
)";

TEST(RunnerOnServer, SampleReleaseScriptUpdatesVersion6DatabaseOnce) {
    ScriptDatabase db(UniqueName("release"));
    db.CreateVersion6();
    const std::string release = testenv::FixtureText("update.sql");
    ASSERT_GT(release.size(), 1000u);

    testenv::ScriptedWindow view;
    ASSERT_EQ(db.Run(release, &view), "");
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
    ASSERT_GT(view.viewLines.size(), 60u);
    EXPECT_EQ(view.viewLines[0], "SET NAMES WIN1251");
    EXPECT_EQ(view.viewLines[3], "execute procedure Check_Versio(7)");
    EXPECT_TRUE(Contains(view.viewLines, "reconnect"));
    EXPECT_FALSE(Contains(view.viewLines, "------- STATEMENT --------"));
    EXPECT_EQ(db.Run(kReleaseChecks), "");

    // Again: the release check fails, and the run stops there.
    testenv::ScriptedWindow again;
    const std::string error = db.Run(release, &again);
    const std::string expected = "Ошибка применения скрипта!\r" + kNote +
                                 "------- STATEMENT --------\r"
                                 "execute procedure Check_Versio(7)\r"
                                 "-------   ERROR   --------\r";
    ASSERT_EQ(error.substr(0, expected.size()), expected);
    EXPECT_NE(error.find("E_VERSIO_MISMATCH"), std::string::npos) << error;
    EXPECT_EQ(again.viewLines.size(), 8u);
    EXPECT_EQ(again.viewLines[4], "------- STATEMENT --------");
    EXPECT_EQ(again.viewLines[7], error.substr(expected.size()));
    EXPECT_EQ(db.Run(kReleaseChecks), "");
}

const char* const kFailingInTheMiddle = "insert into UNITS (ID, NAME) values (101, 'Первая');\r\n"
                                        "commit;\r\n"
                                        "insert into UNITS (ID, NAME) values (102, 'Вторая');\r\n"
                                        "insert into NO_SUCH_TABLE values (1);\r\n"
                                        "insert into UNITS (ID, NAME) values (103, 'Третья');\r\n";

std::string UnitsCheck(const std::string& expectedIds) {
    return testenv::IdsCheck("UNITS", expectedIds);
}

TEST(RunnerOnServer, VerboseRunStopsAtAFailureAndCommitsNothingAfterIt) {
    ScriptDatabase db(UniqueName("fail"));
    db.CreateVersion6();
    testenv::ScriptedWindow view;
    const std::string error = db.Run(kFailingInTheMiddle, &view);
    const std::string expected = "Ошибка применения скрипта!\r"
                                 "------- STATEMENT --------\r"
                                 "insert into NO_SUCH_TABLE values (1)\r"
                                 "-------   ERROR   --------\r";
    ASSERT_EQ(error.substr(0, expected.size()), expected);
    const std::string serverText = error.substr(expected.size());
    EXPECT_NE(serverText.find("NO_SUCH_TABLE"), std::string::npos) << serverText;
    EXPECT_EQ(
        view.viewLines,
        (Lines{"insert into UNITS (ID, NAME) values (101, 'Первая')", "commit",
               "insert into UNITS (ID, NAME) values (102, 'Вторая')",
               "insert into NO_SUCH_TABLE values (1)", "------- STATEMENT --------",
               "insert into NO_SUCH_TABLE values (1)", "-------   ERROR   --------", serverText}));
    EXPECT_EQ(db.Run(UnitsCheck("101")), "");
}

TEST(RunnerOnServer, QuietRunGoesOnAfterAFailureAndCommitsTheRest) {
    ScriptDatabase db(UniqueName("quiet"));
    db.CreateVersion6();
    testenv::ScriptedWindow view;
    EXPECT_EQ(db.Run(kFailingInTheMiddle, &view, 0), "");
    ASSERT_EQ(view.viewLines.size(), 4u);
    EXPECT_EQ(view.viewLines[1], "insert into NO_SUCH_TABLE values (1)");
    EXPECT_EQ(db.Run(UnitsCheck("101,102,103")), "");
}

// A wrong password is reported with the server's text, an overlong one by the parameter's
// name; neither message holds the password itself.
TEST(RunnerOnServer, ReportsConnectFailuresWithoutThePassword) {
    ScriptDatabase db(UniqueName("password"));
    db.CreateVersion6();
    const std::string wrong = "wrong; pw";
    std::string error = db.Run("commit;", nullptr, 1, testenv::FbUser(), wrong);
    const std::string expected = "Ошибка подключения к базе данных!\r";
    ASSERT_EQ(error.substr(0, expected.size()), expected);
    EXPECT_NE(error.find("password"), std::string::npos) << error;
    EXPECT_EQ(error.find(wrong), std::string::npos) << error;
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());

    const std::string overlong = std::string(300, 'p') + "; секрет";
    error = db.Run("commit;", nullptr, 1, testenv::FbUser(), overlong);
    EXPECT_EQ(error, expected + "Слишком длинное значение параметра подключения \"password\"!");
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
}

TEST(RunnerOnServer, ConnectsWithAPasswordHoldingSemicolonAndEquals) {
    ScriptDatabase db(UniqueName("semicolon"));
    db.CreateVersion6();
#if defined(_WIN32)
    const std::string user = "XQV_SQL_W";
#else
    const std::string user = "XQV_SQL_N";
#endif
    const std::string password = "a; b=c; user_name=x";
    db.Run("drop user " + user + ";", nullptr, 0);
    ASSERT_EQ(db.Run("create user " + user + " password '" + password + "';"), "");
    EXPECT_EQ(db.Run("select 1 from RDB$DATABASE;", nullptr, 1, user, password), "");
    EXPECT_NE(db.Run("select 1 from RDB$DATABASE;", nullptr, 1, user, "a; b=c"), "");
    EXPECT_EQ(db.Run("drop user " + user + ";"), "");
}

TEST(RunnerOnServer, RunsAScriptFileGivenWithBlanksAroundItsPath) {
    ScriptDatabase db(UniqueName("file"));
    db.CreateVersion6();
    std::ofstream("script_fixtures/file_mode.sql", std::ios::binary)
        << "SET TERM ^ ;\r\nexecute block as begin\r\n"
           "  insert into UNITS (ID, NAME) values (111, 'Из файла');\r\nend^\r\n";
    EXPECT_EQ(db.RunFile(" \r\n script_fixtures/file_mode.sql  "), "");
    EXPECT_EQ(db.Run(UnitsCheck("111")), "");
}

TEST(RunnerOnServer, RunsStatementsThatHandValuesBack) {
    ScriptDatabase db(UniqueName("output"));
    db.CreateVersion6();
    EXPECT_EQ(db.Run("select * from UNITS;\r\n"
                     "execute procedure GET_GOODS_PRICE(1, 1);\r\n"
                     "execute block returns (X integer) as begin X = 1; suspend; end;\r\n"
                     "insert into UNITS (ID, NAME) values (121, 'x') returning ID;\r\n"
                     "select * from UNITS where ID = 0;\r\n"),
              "");
    EXPECT_EQ(db.Run(UnitsCheck("121")), "");
}

TEST(RunnerOnServer, CarriesOutTheClientDirectives) {
    ScriptDatabase db(UniqueName("directives"));
    db.CreateVersion6();
    // AUTODDL ON commits a definition at once, OFF leaves it to the transaction; ROLLBACK and
    // RECONNECT end the transaction as they say; dialect 1 reads double quotes as a string.
    EXPECT_EQ(db.Run("create table T_ON (A integer);\r\n"
                     "insert into UNITS (ID, NAME) values (131, 'x');\r\n"
                     "rollback work;\r\n"
                     "set autoddl off;\r\n"
                     "create table T_OFF (A integer);\r\n"
                     "ROLLBACK;\r\n"
                     "insert into UNITS (ID, NAME) values (132, 'x');\r\n"
                     "RECONNECT;\r\n"
                     "SET SQL DIALECT 1;\r\n"
                     "insert into UNITS (ID, NAME) values (133, \"Двойные\");\r\n"
                     "set sql dialect 3;\r\n"),
              "");
    EXPECT_EQ(db.Run(UnitsCheck("132,133")), "");
    EXPECT_EQ(db.Run("insert into T_ON values (1);"), "");
    EXPECT_NE(db.Run("insert into T_OFF values (1);"), "");
    EXPECT_EQ(
        db.Run("execute block as begin\r\n"
               "  if (not exists(select 1 from UNITS where ID = 133 and NAME = 'Двойные'))\r\n"
               "  then exception E_DATA_CHECK 'dialect 1';\r\nend;"),
        "");
    const std::string error = db.Run("SET SQL DIALECT 5;");
    EXPECT_NE(error.find("SET SQL DIALECT 5\r-------   ERROR   --------\r"), std::string::npos)
        << error;
}

// A unique index on duplicate values fails when its definition is committed. In a quiet run
// that failure undoes the definition alone: the data changes before it, reported as done,
// stay. A verbose run stops there, and what its transaction held is undone.
TEST(RunnerOnServer, AFailingDefinitionUndoesOnlyItself) {
    ScriptDatabase db(UniqueName("definition"));
    db.CreateVersion6();
    const auto script = [](const std::string& table, int id) {
        return "create table " + table +
               " (A integer);\r\n"
               "insert into " +
               table +
               " values (1);\r\n"
               "insert into " +
               table +
               " values (1);\r\n"
               "insert into UNITS (ID, NAME) values (" +
               std::to_string(id) +
               ", 'x');\r\n"
               "create unique index UX_" +
               table + " on " + table +
               " (A);\r\n"
               "insert into UNITS (ID, NAME) values (" +
               std::to_string(id + 1) + ", 'x');\r\n";
    };
    testenv::ScriptedWindow quiet;
    EXPECT_EQ(db.Run(script("T_QUIET", 161), &quiet, 0), "");
    ASSERT_EQ(quiet.viewLines.size(), 4u);
    EXPECT_EQ(quiet.viewLines[1], "create unique index UX_T_QUIET on T_QUIET (A)");
    EXPECT_NE(quiet.viewLines[3].find("UX_T_QUIET"), std::string::npos) << quiet.viewLines[3];
    EXPECT_EQ(db.Run(UnitsCheck("161,162")), "");
    EXPECT_EQ(db.Run("execute block as begin\r\n"
                     "  if ((select count(*) from T_QUIET) <> 2) then exception E_DATA_CHECK;\r\n"
                     "end;"),
              "");

    const std::string error = db.Run(script("T_VERBOSE", 163));
    EXPECT_NE(error.find("create unique index UX_T_VERBOSE on T_VERBOSE (A)\r-------   ERROR"),
              std::string::npos)
        << error;
    EXPECT_EQ(db.Run(UnitsCheck("161,162")), "");
    EXPECT_EQ(db.Run("execute block as begin\r\n"
                     "  if (exists(select 1 from T_VERBOSE)) then exception E_DATA_CHECK;\r\n"
                     "end;"),
              "");
}

// SET NAMES does not change the character set of the connection: RECONNECT attaches as the
// first attach did, and Windows-1251 text stays readable.
TEST(RunnerOnServer, ReconnectsWithTheFirstConnectParameters) {
    ScriptDatabase db(UniqueName("reconnect"));
    db.CreateVersion6();
    EXPECT_EQ(db.Run("SET NAMES UTF8;\r\n"
                     "RECONNECT;\r\n"
                     "insert into UNITS (ID, NAME) values (141, 'Кириллица');\r\n"),
              "");
    EXPECT_EQ(
        db.Run("execute block as begin\r\n"
               "  if (not exists(select 1 from UNITS where ID = 141 and NAME = 'Кириллица'))\r\n"
               "  then exception E_DATA_CHECK 'name';\r\nend;"),
        "");
}

TEST(RunnerOnServer, DoesNotRunAnUnterminatedLastStatement) {
    ScriptDatabase db(UniqueName("unterminated"));
    db.CreateVersion6();
    const char* const script = "insert into UNITS (ID, NAME) values (151, 'x');\r\n"
                               "delete from UNITS where ID = 15\r\n";
    const std::string error = db.Run(script);
    EXPECT_NE(error.find("delete from UNITS where ID = 15\r-------   ERROR   --------\r"),
              std::string::npos)
        << error;
    // The verbose run stopped there and committed nothing; the quiet one commits the rest.
    EXPECT_EQ(db.Run(UnitsCheck("")), "");
    EXPECT_EQ(db.Run(script, nullptr, 0), "");
    EXPECT_EQ(db.Run(UnitsCheck("151")), "");
}

// What the splitter cannot read is a failure of that statement: an unclosed comment, which
// would hide the rest of the script, and a SET TERM whose terminator it cannot take.
TEST(RunnerOnServer, ReportsWhatTheSplitterCannotRead) {
    ScriptDatabase db(UniqueName("unreadable"));
    db.CreateVersion6();
    const std::string open = "/* не закрыт\r\ninsert into UNITS (ID, NAME) values (182, 'x');";
    const std::string unclosed = "insert into UNITS (ID, NAME) values (181, 'x');\r\n" + open;
    EXPECT_EQ(db.Run(unclosed), "Ошибка применения скрипта!\r"
                                "------- STATEMENT --------\r" +
                                    open +
                                    "\r-------   ERROR   --------\r"
                                    "Скрипт оборван: комментарий не закрыт символами \"*/\"!");
    EXPECT_EQ(db.Run(UnitsCheck("")), "");
    testenv::ScriptedWindow quiet;
    EXPECT_EQ(db.Run(unclosed, &quiet, 0), "");
    EXPECT_EQ(quiet.viewLines,
              (Lines{"------- STATEMENT --------", open, "-------   ERROR   --------",
                     "Скрипт оборван: комментарий не закрыт символами \"*/\"!"}));
    EXPECT_EQ(db.Run(UnitsCheck("181")), "");

    EXPECT_EQ(db.Run("SET TERM /* новый */ ^ ;\r\n"
                     "insert into UNITS (ID, NAME) values (183, 'x')^\r\n"
                     "SET TERM ; ^\r\n"),
              "Ошибка применения скрипта!\r"
              "------- STATEMENT --------\r"
              "SET TERM /* новый */ ^\r"
              "-------   ERROR   --------\r"
              "Не удалось прочитать новый терминатор в команде SET TERM!");
}

TEST(RunnerOnServer, LibraryDetachesWhenUnloadedWhileConnected) {
    ScriptDatabase db(UniqueName("unload"));
    db.CreateVersion6();
    void* library = xqv::OpenScriptLibrary();
    ASSERT_NE(library, nullptr);
    const auto connect =
        reinterpret_cast<SqlConnectFunction>(xqv::fb::ModuleSymbol(library, "Connect"));
    ASSERT_NE(connect, nullptr);
    const std::string params =
        xqv::ScriptConnectParams(testenv::ClientLibrary(), db.Database(), testenv::FbUser(),
                                 "WIN1251", testenv::FbPassword(), "");
    EXPECT_EQ(connect(params.c_str(), nullptr), 0);
    xqv::fb::CloseModule(library);
    // The database is dropped at the end of the test: that fails while an attachment is left.
}

} // namespace
