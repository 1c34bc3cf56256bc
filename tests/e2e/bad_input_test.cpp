// What an administrator may get wrong, typed into the real updater under Wine: locations that
// are no installation folder, server registrations that cannot be used, passwords that cannot
// reach the server, and test builds carrying a release script that is broken. Each ends in one
// clear Russian message with nothing changed: the installation byte for byte as it was, no
// temporary folder, and for a server installation the database online at version 6 with the
// service running.
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "db_services.h"
#include "fb_service_fixture.h"
#include "script_db.h"
#include "server_support.h"
#include "service_control.h"
#include "updater_window.h"

namespace {

using namespace e2e;
using testenv::FbInstallation;
const std::string kRoot = "C:\\xqvtest\\e2ebad";
const char* const kVendorKey = "SYSTEM\\CurrentControlSet\\Services\\VelmoraFireXBirdServer";
const char* const kAborted = "Обновление прервано!";
const char* const kSuccess = "Обновление прошло успешно.\r\nЗавершите работу с программой.";

std::string NotFound(const std::string& expanded) {
    return "Путь к обновляемой программе \"" + expanded + "\" не найден!";
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(
        size_t(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], int(wide.size())) - 1));
    return wide;
}

// A client part at a path of any length (the wide functions with the "\\?\" prefix reach past
// MAX_PATH, the updater's narrow ones do not).
void WriteClientAnywhere(const std::string& location) {
    const std::wstring root = L"\\\\?\\" + Wide(location);
    for (size_t at = root.find(L'\\', 7); at != std::wstring::npos; at = root.find(L'\\', at + 1))
        CreateDirectoryW(root.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\Program").c_str(), nullptr);
    HANDLE file = CreateFileW((root + L"\\Program\\OrveLin.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

class BadInput : public UpdaterWindow {
protected:
    void SetUp() override {
        testfiles::FreshFolder(kRoot);
        location = kRoot + "\\OrveLin";
        testfiles::WriteTree(location + "\\Program\\OrveLin.exe", "старый клиент 6.0");
        testfiles::WriteTree(location + "\\Program\\OrveLin.chm", "старая справка 6.0");
        testfiles::WriteTree(location + "\\Program\\Отчеты\\шаблон.frx", "шаблон отчета");
    }
    void TearDown() override {
        UpdaterWindow::TearDown();
        testfiles::RemoveTree(kRoot);
    }

    // Start in the open window with what the boxes hold now; the error box's text.
    std::string StartExpectingError() {
        PressStart();
        const std::string message = TakeErrorBox();
        EXPECT_EQ(WaitOutcome(), kAborted) << message;
        return message;
    }

    std::string location;
};

// Locations that are no local installation folder: refused at once, by the expanded path.
TEST_F(BadInput, LocationsThatAreNoLocalFolderAreRefused) {
    testfiles::WriteTree(kRoot + "\\файл.txt", "не каталог");
    // A long location holding a real client part, made with the system's long-path form.
    std::string longLocation = kRoot;
    while (longLocation.size() <= MAX_PATH)
        longLocation += "\\Длинная папка 0123456789";
    ASSERT_NO_FATAL_FAILURE(WriteClientAnywhere(longLocation));
    // A network path that reaches an existing folder of this machine: Wine serves \\host\share
    // from a link in the prefix's "dosdevices\unc".
    const std::string prefix = testenv::Value("XQV_WINEPREFIX");
    ASSERT_EQ(testfiles::RunUnix("mkdir -p '" + prefix + "/dosdevices/unc/xqvhost' && ln -sfn '" +
                                 testfiles::UnixPath(kRoot) + "' '" + prefix +
                                 "/dosdevices/unc/xqvhost/share'"),
              0);
    const std::string unc = "\\\\xqvhost\\share\\OrveLin";
    const bool uncReaches = testfiles::Exists(unc + "\\Program\\OrveLin.exe");

    const auto before = testfiles::Snapshot(kRoot);
    OpenUpdater();
    const std::string current = testfiles::ProgramFolder();
    const struct {
        std::string typed, message;
    } cases[] = {
        {"", NotFound("")},
        {kRoot + "\\НетТакой", NotFound(kRoot + "\\НетТакой")},
        {kRoot + "\\файл.txt", NotFound(kRoot + "\\файл.txt")},
        {kRoot + "\\файл.txt\\", NotFound(kRoot + "\\файл.txt\\")},
        {"НетТакой\\OrveLin", NotFound(current + "\\НетТакой\\OrveLin")},
        {longLocation,
         "Путь к обновляемой программе \"" + longLocation + "\" длиннее 259 символов!"},
        {unc, "Путь к обновляемой программе \"" + unc + "\" не является локальным!"},
    };
    for (const auto& c : cases) {
        TypeLocation(c.typed);
        EXPECT_EQ(StartExpectingError(), c.message) << c.typed;
        EXPECT_EQ(LastViewLine(), "Exception - " + c.message);
    }
    testfiles::RunUnix("rm -rf '" + prefix + "/dosdevices/unc/xqvhost'");
    EXPECT_TRUE(uncReaches) << "the network path did not reach the folder";
    EXPECT_EQ(testfiles::Snapshot(kRoot), before);
}

// A trailing backslash, Cyrillic letters and blanks are an ordinary location: the run works with
// single backslashes throughout and quotes the location as typed.
TEST_F(BadInput, TrailingBackslashCyrillicAndBlanksUpdateCorrectly) {
    const std::string where = kRoot + "\\Мои программы\\Орвелин 7.0";
    testfiles::WriteTree(where + "\\Program\\OrveLin.exe", "старый клиент 6.0");
    const auto old = testfiles::Snapshot(where + "\\Program");
    StartUpdater(where + "\\");
    Dialog question = WaitDialog("Information");
    ASSERT_NE(question.hwnd, nullptr);
    EXPECT_EQ(question.text, "В указанном каталоге: \"" + where +
                                 "\\\" - обнаружены КЛИЕНТСКАЯ "
                                 "часть программы \"Orvelin\"\rПродолжить обновление?");
    Answer(question.hwnd, "&Yes");
    EXPECT_EQ(WaitOutcome(), kSuccess);
    const std::string release = testfiles::FromUnixPath(XQV_RELEASE_CLIENT_DIR);
    EXPECT_EQ(testfiles::ReadBytes(where + "\\Program\\OrveLin.exe"),
              testfiles::ReadBytes(release + "\\OrveLin.exe"));
    const std::string temp = TempDirIn(where);
    ASSERT_NE(temp, "");
    EXPECT_EQ(testfiles::Snapshot(temp + "\\Old\\Program"), old);
    ExpectInOrder(LogBytes(), {"Временная папка \"" + temp + "\\New\\\" удалена"});
    // No path of the run holds a doubled backslash.
    EXPECT_EQ(ViewText().find(where + "\\\\"), std::string::npos) << ViewText();
}

// A relative location is taken against the updater's current folder.
TEST_F(BadInput, RelativeLocationIsTakenAgainstTheCurrentFolder) {
    startFolder = kRoot;
    OpenUpdater();
    TypeLocation("НетТакой");
    EXPECT_EQ(StartExpectingError(), NotFound(kRoot + "\\НетТакой"));

    TypeLocation("OrveLin");
    PressStart();
    Dialog question = WaitDialog("Information");
    ASSERT_NE(question.hwnd, nullptr);
    EXPECT_EQ(question.text.rfind("В указанном каталоге: \"OrveLin\" - обнаружены", 0), 0u);
    Answer(question.hwnd, "&Yes");
    EXPECT_EQ(WaitOutcome(), kSuccess);
    EXPECT_NE(TempDirIn(location), "");
}

// A server installation: the sample database at version 6 on the test server, the test service
// registered as the maker's super server.
class BadServerInput : public BadInput {
protected:
    void SetUp() override {
        BadInput::SetUp();
        testenv::InstallFbServer(FbInstallation::VendorSuper);
        db = std::make_unique<testenv::ScriptDatabase>("OrveLin", location + "\\DB_Data");
        db->CreateVersion6();
        programBefore = testfiles::Snapshot(location + "\\Program");
    }
    void TearDown() override {
        UpdaterWindow::TearDown();
        testenv::RestoreFbServer();
        if (db) {
            try {
                xqv::BringDatabaseOnline("fbclient.dll", db->Database(), testenv::FbUser(),
                                         testenv::FbPassword());
            } catch (const xqv::Error&) {
                // Online already, as it should be.
            }
            db.reset();
        }
        testfiles::RemoveTree(kRoot);
    }

    std::string DatabaseBytes() const {
        return testfiles::ReadBytes(location + "\\DB_Data\\OrveLin.fdb");
    }

    // Nothing changed: Program as it was, no temporary folder, the database online at version 6,
    // the service running.
    void ExpectNothingChanged(const std::string& what) {
        EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), programBefore) << what;
        EXPECT_EQ(TempDirIn(location), "") << what;
        EXPECT_EQ(xqv::GetServiceState("", "VelmoraFireXBirdServer"), DWORD(SERVICE_RUNNING))
            << what;
        EXPECT_EQ(dbtest::QueryNumber(db->Database(), "SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE"),
                  0)
            << what;
        EXPECT_EQ(dbtest::QueryNumber(db->Database(), "SELECT VERSIO_NO FROM VERSIO"), 6) << what;
    }

    std::unique_ptr<testenv::ScriptDatabase> db;
    std::map<std::string, std::string> programBefore;
};

// The value of the service key that discovery reads, as stored, put back when the object goes.
class SavedImagePath {
public:
    SavedImagePath() {
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendorKey, 0, KEY_READ | KEY_SET_VALUE, &key_);
        DWORD size = 0;
        RegQueryValueExA(key_, "ImagePath", nullptr, &type_, nullptr, &size);
        bytes_.resize(size);
        RegQueryValueExA(key_, "ImagePath", nullptr, &type_, reinterpret_cast<BYTE*>(&bytes_[0]),
                         &size);
    }
    SavedImagePath(const SavedImagePath&) = delete;
    SavedImagePath& operator=(const SavedImagePath&) = delete;
    ~SavedImagePath() {
        Set(type_, bytes_);
        RegCloseKey(key_);
    }
    bool Opened() const { return key_ != nullptr; }
    void Set(DWORD type, const std::string& bytes) {
        RegSetValueExA(key_, "ImagePath", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       DWORD(bytes.size()));
    }
    void Remove() { RegDeleteValueA(key_, "ImagePath"); }

private:
    HKEY key_ = nullptr;
    DWORD type_ = REG_SZ;
    std::string bytes_;
};

TEST_F(BadServerInput, ServerRegistrationsThatCannotBeUsedAreRefused) {
    const std::string typeUnknown = "Тип сервера FB определить не удалось.";
    const std::string damaged =
        "Сервис FireBird поврежден или не адаптирован для ПО ГК \"Вельмора\". Обновление прервано.";
    const std::string wrongType = "Параметр \"ImagePath\" службы FireBird в реестре имеет неверный "
                                  "тип данных (Invalid data type for 'ImagePath'). Обновление "
                                  "прервано.";
    testfiles::WriteTree(kRoot + "\\просто файл", "");
    const std::string text = std::string(1, '\0');
    const struct {
        const char* what;
        DWORD type; // 0: the value removed
        std::string value, message;
    } cases[] = {
        {"missing", 0, "", typeUnknown},
        {"empty", REG_SZ, text, typeUnknown},
        {"number", REG_DWORD, std::string("\x01\0\0\0", 4), wrongType},
        {"binary", REG_BINARY, "C:\\bin\\fbsrvorvl.exe", wrongType},
        {"list", REG_MULTI_SZ, std::string("C:\\bin\\fbsrvorvl.exe\0\0", 22), wrongType},
        {"no server named", REG_SZ, "C:\\Program Files\\мусор\\bin\\server.exe -p 3051" + text,
         typeUnknown},
        {"garbage bytes", REG_SZ, std::string(4000, '\xFF') + text, typeUnknown},
        {"no bin folder", REG_SZ, "fbsrvorvl.exe -p 3051" + text, damaged},
        {"missing folder", REG_SZ, "C:\\Нет такой\\bin\\fbsrvorvl.exe -p 3051" + text, damaged},
        {"file as folder", REG_SZ, kRoot + "\\просто файл\\bin\\fbsrvorvl.exe" + text, damaged},
    };
    {
        SavedImagePath value;
        ASSERT_TRUE(value.Opened());
        OpenUpdater();
        TypeLocation(location);
        for (const auto& c : cases) {
            if (c.type == 0)
                value.Remove();
            else
                value.Set(c.type, c.value);
            EXPECT_EQ(StartExpectingError(), c.message) << c.what;
            EXPECT_EQ(TempDirIn(location), "") << c.what;
        }
    }
    ExpectNothingChanged("after the registry cases");

    // No Firebird service registered at all: a server part cannot be updated, and the run says
    // so before it cuts anybody off.
    testenv::InstallFbServer(FbInstallation::None);
    const std::string databaseBefore = DatabaseBytes();
    PressStart();
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    Answer(question, "&Yes");
    EXPECT_EQ(TakeErrorBox(),
              "На компьютере не найдена служба FireBird-сервера "
              "(\"VelmoraFireXBirdServer\" или \"FirebirdGuardianDefaultInstance\"), "
              "поэтому СЕРВЕРНАЯ часть обновлена быть не может. Обновление не "
              "начато, ничего не изменено.");
    EXPECT_EQ(WaitOutcome(), kAborted);
    EXPECT_EQ(gui::WaitWindow("Warning", 0, "XqvMessageDialog"), nullptr);
    EXPECT_EQ(DatabaseBytes(), databaseBefore);
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    ExpectNothingChanged("without a registered server");
}

// Passwords that cannot reach the server: the run stops at the first server step with the
// server's or our own reason, and never shows or logs the typed password.
TEST_F(BadServerInput, PasswordsThatCannotReachTheServerChangeNothing) {
    // The server's refusal in the attach error's form; a Cyrillic password is refused by this
    // test server before the check (it reads a password in its own character set).
    const std::string wrong = "КОД ОШИБКИ ISC:";
    const struct {
        std::string typed, expected;
        bool exact;
    } cases[] = {
        {"", "Не задан пароль!", true},
        {" \t  ", "Не задан пароль!", true},
        {"qwe; user_name=MANAGER", wrong, false},
        {"a=b; password=c", wrong, false},
        {"Пароль Администратора", wrong, false},
        {std::string(256, 'w'), "Пароль длиннее 255 байт!", true},
    };
    OpenUpdater();
    TypeLocation(location);
    for (const auto& c : cases) {
        TypePassword(c.typed);
        PressStart();
        HWND question = WaitQuestion();
        ASSERT_NE(question, nullptr);
        Answer(question, "&Yes");
        const std::string message = TakeErrorBox();
        if (c.exact)
            EXPECT_EQ(message, c.expected) << c.typed;
        else
            EXPECT_EQ(message.rfind(c.expected, 0), 0u) << message;
        EXPECT_EQ(WaitOutcome(), kAborted);
        if (c.typed.size() > 5) {
            EXPECT_EQ(message.find(c.typed), std::string::npos) << message;
            EXPECT_EQ(ViewText().find(c.typed), std::string::npos);
            EXPECT_EQ(LogBytes().find(c.typed), std::string::npos);
        }
        ExpectNothingChanged(c.typed);
    }
}

// Test builds carrying a broken release script: refused before the first server step, so the
// database file is not even opened (byte for byte as before) and nobody is disconnected.
TEST_F(BadServerInput, BrokenReleaseScriptsAreRefusedBeforeAnythingChanges) {
    const std::string head = "Скрипт обновления базы данных, встроенный в программу обновления, ";
    const std::string tail = ". Обновление не начато, ничего не изменено.";
    const struct {
        const char* exe;
        std::string fault;
    } cases[] = {
        {"Updater_EmptyScript.exe", "пустой"},
        {"Updater_CutScript.exe", "обрывается посреди оператора, начатого в строке 19"},
        {"Updater_Utf8Script.exe", "записан не в кодировке Windows-1251"},
    };
    for (const auto& c : cases) {
        const std::string databaseBefore = DatabaseBytes();
        ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location, c.exe));
        EXPECT_EQ(TakeErrorBox(), head + c.fault + tail) << c.exe;
        EXPECT_EQ(WaitOutcome(), kAborted);
        EXPECT_EQ(DatabaseBytes(), databaseBefore) << c.exe;
        EXPECT_EQ(ViewText().find("Проверка подключений к Firebird-серверу."), std::string::npos);
        ExpectNothingChanged(c.exe);
    }
}

} // namespace
