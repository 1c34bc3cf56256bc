// The script stage of the update run as the exe carries it: the embedded release script, run
// through our script library and the runner against a sample database at version 6.
#include <windows.h>
#include <gtest/gtest.h>
#include "script_db.h"
#include "scripted_window.h"
#include "server_stages.h"
#include "update.h"

namespace {

TEST(ServerScriptStage, EmbeddedReleaseScriptBringsTheDatabaseToTheNextVersion) {
    testenv::ScriptDatabase db("update_run_stage9");
    db.CreateVersion6();
    testenv::ScriptedWindow window;
    window.profile.ClientLibraryName = "fbclient.dll";
    xqv::Context.DbConnectString = db.Database();

    xqv::ServerScriptStage(testenv::FbPassword());
    ASSERT_GE(window.logLines.size(), 2u);
    EXPECT_EQ(window.logLines[0], "Обновление серверной части");
    EXPECT_EQ(window.logLines[1], "Выполненяется скрипт синхронизации структуры проекта");
    EXPECT_GT(window.viewLines.size(), 60u) << "every statement in the view";
    // The release check of the next release passes only at version 7.
    EXPECT_EQ(db.Run("execute procedure Check_Versio(8);"), "");

    // The same stage again stops at the release check of the script.
    testenv::ScriptedWindow again;
    again.profile.ClientLibraryName = "fbclient.dll";
    try {
        xqv::ServerScriptStage(testenv::FbPassword());
        ADD_FAILURE() << "no error";
    } catch (const xqv::Error& e) {
        EXPECT_NE(e.Message().find("Ошибка применения скрипта!"), std::string::npos) << e.Message();
    }
}

} // namespace
