// Reading the connect parameter string, whose values are inserted without escaping.
#include <gtest/gtest.h>
#include <ibase.h>
#include <string>
#include "connect_params.h"
#include "error_of.h"
#include "errors.h"

using namespace xqv::script;

namespace {

std::string ParamString(const std::string& db, const std::string& password,
                        const std::string& role = "") {
    return "db_name=" + db + "; password=" + password +
           "; user_name=SYSDBA; lc_ctype=WIN1251; sql_role_name=" + role +
           "; sql_dialect=3; clientlib=\"fbclient.dll\"";
}

TEST(ConnectParams, ReadsTheUpdateRunsString) {
    ConnectParams p;
    ASSERT_TRUE(ParseConnectParams(ParamString("localhost/3051:C:\\XQV\\DB_Data\\X.fdb", "pw"), p));
    EXPECT_EQ(p.database, "localhost/3051:C:\\XQV\\DB_Data\\X.fdb");
    EXPECT_EQ(p.password, "pw");
    EXPECT_EQ(p.userName, "SYSDBA");
    EXPECT_EQ(p.charSet, "WIN1251");
    EXPECT_EQ(p.roleName, "");
    EXPECT_EQ(p.dialect, 3);
    EXPECT_EQ(p.clientLibrary, "fbclient.dll");
}

TEST(ConnectParams, TakesAnyPasswordWhole) {
    for (const std::string password :
         {"a; b", "=", "x; user_name=y", "; password=z", "p; clientlib=\"evil.dll\"",
          "; sql_dialect=1; lc_ctype=NONE", " leading", ""}) {
        ConnectParams p;
        ASSERT_TRUE(ParseConnectParams(ParamString("h:C:\\d.fdb", password, "R"), p)) << password;
        EXPECT_EQ(p.password, password);
        EXPECT_EQ(p.database, "h:C:\\d.fdb");
        EXPECT_EQ(p.userName, "SYSDBA");
        EXPECT_EQ(p.roleName, "R");
        EXPECT_EQ(p.clientLibrary, "fbclient.dll");
    }
}

TEST(ConnectParams, RefusesMalformedStrings) {
    ConnectParams p;
    EXPECT_FALSE(ParseConnectParams("", p));
    EXPECT_FALSE(ParseConnectParams("db_name=x; password=y", p));
    std::string s = ParamString("x", "y");
    EXPECT_FALSE(ParseConnectParams(s.substr(1), p));
    s.replace(s.find("sql_dialect=3"), 13, "sql_dialect=4");
    EXPECT_FALSE(ParseConnectParams(s, p));
}

TEST(ConnectParams, BuildsTheAttachBuffer) {
    ConnectParams p;
    p.userName = " SYSDBA\t";
    p.password = " pw ";
    p.charSet = "WIN1251";
    const std::string expected = std::string("\x01") + char(isc_dpb_user_name) + "\x06SYSDBA" +
                                 char(isc_dpb_password) + "\x04 pw " + char(isc_dpb_lc_ctype) +
                                 "\x07WIN1251" + char(isc_dpb_sql_dialect) + "\x01\x03";
    EXPECT_EQ(BuildDpb(p), expected);
    p.roleName = "R";
    EXPECT_NE(BuildDpb(p).find(std::string(1, char(isc_dpb_sql_role_name)) + "\x01R"),
              std::string::npos);
}

// The message names the parameter: a password must reach no log and no error box.
TEST(ConnectParams, RefusesOverlongValuesWithoutShowingThem) {
    const std::string secret = std::string(300, 's') + "Пароль";
    const std::string message = "Слишком длинное значение параметра подключения ";
    ConnectParams p;
    p.userName = "SYSDBA";
    p.password = secret;
    EXPECT_EQ(testenv::ErrorOf([&] { BuildDpb(p); }), message + "\"password\"!");
    p.password.clear();
    p.roleName = secret;
    EXPECT_EQ(testenv::ErrorOf([&] { BuildDpb(p); }), message + "\"sql_role_name\"!");
}

} // namespace
