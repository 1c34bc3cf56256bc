// Databases of the runner's server tests: sample databases at version 6, made fresh for each
// test under the test folder of the script runner, and dropped afterwards.
#pragma once

#include <gtest/gtest.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "fb_client.h"
#include "fb_dpb.h"
#include "script_runner.h"
#include "test_env.h"

namespace testenv {

inline const std::string& ClientLibrary() {
    static const std::string name = xqv::fb::PlatformClientLibraryName();
    return name;
}

// A file the build copied beside the test program (script_fixtures/).
inline std::string FixtureText(const std::string& name) {
    std::ifstream file("script_fixtures/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A database name no other test program of this run uses.
inline std::string UniqueName(const std::string& base) {
#if defined(_WIN32)
    return "script_" + base + "_w";
#else
    return "script_" + base + "_n";
#endif
}

// A block that fails unless the IDs above 100 in the table are exactly these, ascending and
// comma-separated ("" for none).
inline std::string IdsCheck(const std::string& table, const std::string& expectedIds) {
    return "execute block as begin\r\n"
           "  if ((select coalesce(list(ID), '') from\r\n"
           "       (select ID from " +
           table + " where ID > 100 order by ID)) <> '" + expectedIds +
           "') then\r\n    exception E_DATA_CHECK '" + table + "';\r\nend;";
}

// A database of this test run: its file and the database string that reaches it.
class ScriptDatabase {
public:
    // name.fdb in the test folder of the script runner, or (Windows) in folder when one is given.
    explicit ScriptDatabase(const std::string& name, const std::string& windowsFolder = "") {
#if defined(_WIN32)
        const std::string folder = windowsFolder.empty() ? "C:\\xqvtest\\script" : windowsFolder;
        file_ = folder + "\\" + name + ".fdb";
        database_ = "localhost/" + FbPort() + ":" + file_;
#else
        const std::string folder = Dir() + "/script";
        file_ = folder + "/" + name + ".fdb";
        database_ = FbServer() + ":" + file_;
        (void)windowsFolder;
#endif
        std::filesystem::create_directories(folder);
        std::remove(file_.c_str());
    }
    ~ScriptDatabase() {
        if (created_) Drop();
    }

    const std::string& Database() const {
        return database_;
    }

    // An empty dialect 3 database with page size 8192 and character set WIN1251, then the
    // sample schema at version 6, run through the script library.
    void CreateVersion6() {
        std::string dpb = UserDpb(FbUser(), FbPassword());
        dpb += std::string{char(isc_dpb_page_size), 4, 0, 0x20, 0, 0};
        dpb += std::string{char(isc_dpb_sql_dialect), 1, 3};
        dpb += std::string{char(isc_dpb_set_db_charset), 7} + "WIN1251";
        xqv::fb::Attachment db(xqv::fb::ClientLibrary::Load(ClientLibrary()));
        db.Create(database_, dpb);
        db.Detach();
        created_ = true;
        Run(FixtureText("schema_v6.sql"));
    }

    // Runs a script as the update run does; the error's message, or "".
    std::string Run(const std::string& script, xqv::RunWindow* view = nullptr, int mode = 1,
                    const std::string& user = FbUser(),
                    const std::string& password = FbPassword()) const {
        return Exec(true, script, view, mode, user, password);
    }
    std::string RunFile(const std::string& path) const {
        return Exec(false, path, nullptr, 1, FbUser(), FbPassword());
    }

    // Drops the database; this fails while any other attachment is left, so a test that
    // ends here proves that every run detached.
    void Drop() {
        created_ = false;
        try {
            xqv::fb::Attachment db(xqv::fb::ClientLibrary::Load(ClientLibrary()));
            db.Attach(database_, UserDpb(FbUser(), FbPassword()));
            db.Drop();
        } catch (const xqv::Error& e) {
            ADD_FAILURE() << "cannot drop " << database_ << ": " << e.Message();
        }
    }

private:
    std::string Exec(bool isText, const std::string& script, xqv::RunWindow* view, int mode,
                     const std::string& user, const std::string& password) const {
        try {
            xqv::ExecScript(isText, ClientLibrary(), database_, user, "WIN1251", password, "",
                            script, view, mode);
        } catch (const xqv::Error& e) {
            return e.Message();
        }
        return "";
    }

    std::string file_;
    std::string database_;
    bool created_ = false;
};

} // namespace testenv
