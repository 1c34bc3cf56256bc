// The update run against real folders under Wine, with a scripted window: detection and
// confirmation, the accumulated error text and the cleanup of the temporary folders. This test
// program carries no payload, so its runs stop in the payload step; the runs that get past the
// backup are in rollback_test.cpp, whose program carries the release.
#include <windows.h>
#include <gtest/gtest.h>
#include "errors.h"
#include "scripted_window.h"
#include "test_files.h"
#include "update.h"
#include "update_run.h"

namespace {

using testenv::ScriptedWindow;
const std::string kRoot = "C:\\xqvtest\\run";

TEST(FormatErrorText, AccumulatesWithExceptionBlocks) {
    EXPECT_EQ(xqv::FormatErrorText("", "A"), "A");
    std::string text = xqv::FormatErrorText(xqv::FormatErrorText("A", "B"), "C");
    EXPECT_EQ(text, "A\r\rException!\rMessage: B\r\rException!\rMessage: C");
}

class UpdateRun : public ::testing::Test {
protected:
    void SetUp() override {
        testfiles::RemoveTree(kRoot);
        testfiles::MakeFolders(kRoot);
        window.profile = ScriptedWindow::SampleProfile();
    }
    void TearDown() override { testfiles::RemoveTree(kRoot); }

    std::string MakeClientInstallation(const std::string& name) {
        const std::string location = kRoot + "\\" + name;
        testfiles::WriteTree(location + "\\Program\\OrveLin.exe", "старый клиент");
        testfiles::WriteTree(location + "\\Program\\OrveLin.chm", "старая справка");
        testfiles::WriteTree(location + "\\Program\\data\\settings.ini", "[x]");
        return location;
    }

    // Runs the update, expecting an error; returns its message.
    std::string FailingRun(const std::string& location) {
        try {
            xqv::UpdateProgram(location, "пароль", "Orvelin");
        } catch (const xqv::SilentAbort&) {
            ADD_FAILURE() << "silent abort";
        } catch (const xqv::Error& e) {
            return e.Message();
        }
        ADD_FAILURE() << "no error";
        return "";
    }

    ScriptedWindow window;
};

TEST_F(UpdateRun, NeitherPartQuotesLocationAsTyped) {
    testfiles::MakeFolders(kRoot + "\\Empty\\Program");
    const std::string typed = kRoot + "\\Empty\\";
    EXPECT_EQ(FailingRun(typed), "В каталоге \"" + typed +
                                     "\" не обнаружено ни КЛИЕНТСКОЙ, ни СЕРВЕРНОЙ частей "
                                     "программы \"Orvelin\"");
    EXPECT_TRUE(window.dialogs.empty());
}

TEST_F(UpdateRun, NoAtTheQuestionIsSilentAndChangesNothing) {
    const std::string location = MakeClientInstallation("Client");
    const auto before = testfiles::Snapshot(location);
    window.answers = {xqv::DialogAnswer::No};
    EXPECT_THROW(xqv::UpdateProgram(location, "", "Orvelin"), xqv::SilentAbort);
    ASSERT_EQ(window.dialogs.size(), 1u);
    const auto& question = window.dialogs[0];
    EXPECT_EQ(question.text, "В указанном каталоге: \"" + location +
                                 "\" - обнаружены КЛИЕНТСКАЯ часть программы \"Orvelin\"\r"
                                 "Продолжить обновление?");
    EXPECT_EQ(question.kind, xqv::MessageKind::Information);
    EXPECT_EQ(question.buttons, xqv::DialogButtons::YesNo);
    EXPECT_EQ(question.focusButton, xqv::DialogAnswer::No);
    EXPECT_EQ(testfiles::Snapshot(location), before);
    ASSERT_FALSE(window.logLines.empty());
    EXPECT_EQ(window.logLines.back(), "Завершена инициализация переменных");
}

TEST_F(UpdateRun, LockCheckFailureIsTheWholeErrorText) {
    const std::string location = MakeClientInstallation("Locked");
    testfiles::MakeFolders(location + "_"); // the sibling name the lock check renames to
    const auto before = testfiles::Snapshot(location);
    window.answers = {xqv::DialogAnswer::Yes};
    const std::string message = FailingRun(location);
    EXPECT_EQ(message.find("Exception!"), std::string::npos) << message;
    EXPECT_NE(message.find("Невозможно получить полный доступ к папке "), std::string::npos)
        << message;
    EXPECT_EQ(testfiles::Snapshot(location), before);
    testfiles::RemoveTree(location + "_");
}

TEST_F(UpdateRun, PayloadFailureRemovesTempDirAndRepeatsTheMessage) {
    // This program has no payload resource: stage 7 fails after creating the folders.
    const std::string location = MakeClientInstallation("NoPayload");
    const auto before = testfiles::Snapshot(location);
    window.answers = {xqv::DialogAnswer::Yes};
    const std::string message = FailingRun(location);
    const std::string missing = "Ошибка работы с ресурсом \"files\"!\rResource files not found";
    EXPECT_EQ(message, missing + "\r\rException!\rMessage: " + missing);
    EXPECT_FALSE(testfiles::Exists(xqv::Context.TempDir));
    EXPECT_EQ(testfiles::Snapshot(location), before);
    EXPECT_FALSE(window.updateStageFailed);
}

} // namespace
