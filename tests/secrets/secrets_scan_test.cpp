// After the whole Windows suite: the test server's SYSDBA password stands in no log file, in no
// text a test read from the product's windows (the collection the end-to-end tests fill), and in
// no file left in the installation folders or the temporary folders of the Wine prefix. The
// scanner is first shown to find a password planted in each of the forms it looks for.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "seen_texts.h"
#include "test_env.h"
#include "test_files.h"

namespace {

std::string Utf16(const std::string& ascii) {
    std::string wide;
    for (char c : ascii)
        wide += std::string(1, c) + '\0';
    return wide;
}

// The forms a program may write a password in: as single-byte text, and as UTF-16.
bool Holds(const std::string& bytes, const std::string& secret) {
    return bytes.find(secret) != std::string::npos ||
           bytes.find(Utf16(secret)) != std::string::npos;
}

bool IsLogName(const std::string& name) {
    return name.size() > 4 && lstrcmpiA(name.c_str() + name.size() - 4, ".log") == 0;
}

struct Places {
    std::vector<std::string> files;      // looked at whatever their names
    std::vector<std::string> logFolders; // their log files, at any depth
    std::vector<std::string> folders;    // every file, at any depth
    std::vector<std::string> skipped;    // folders not looked into
};

// Every file below folder (only log files when logsOnly) that holds secret. Folder links are
// not followed.
void Scan(const std::string& folder, const std::string& secret, bool logsOnly, const Places& places,
          std::vector<std::string>& found) {
    for (const std::string& skipped : places.skipped)
        if (lstrcmpiA(skipped.c_str(), folder.c_str()) == 0) return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName, path = folder + "\\" + name;
        if (name == "." || name == ".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Scan(path, secret, logsOnly, places, found);
        else if ((!logsOnly || IsLogName(name)) && Holds(testfiles::ReadBytes(path), secret))
            found.push_back(path);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

std::vector<std::string> FilesHolding(const std::string& secret, const Places& places) {
    std::vector<std::string> found;
    for (const std::string& file : places.files)
        if (Holds(testfiles::ReadBytes(file), secret)) found.push_back(file);
    for (const std::string& folder : places.logFolders)
        Scan(folder, secret, true, places, found);
    for (const std::string& folder : places.folders)
        Scan(folder, secret, false, places, found);
    return found;
}

std::string Listed(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths)
        text += "\n  " + path;
    return text;
}

TEST(SecretsScan, FindsAPlantedSecretInEachForm) {
    const std::string secret = "Tajna-3051";
    const std::string root = testfiles::FreshFolder("C:\\xqvtest\\secrets-plant");
    testfiles::WriteTree(root + "\\Logs\\deep\\run_Updater.log", "\rentry: password=" + secret);
    testfiles::WriteTree(root + "\\Logs\\clean.log", "nothing here Tajna-305");
    testfiles::WriteTree(root + "\\Logs\\note.txt", secret); // not a log file: not looked at
    testfiles::WriteTree(root + "\\Install\\Tmp$1\\Old\\settings.bin", "\xFF\xFE" + Utf16(secret));
    testfiles::WriteTree(root + "\\Install\\Skipped\\copy.log", secret);
    testfiles::WriteTree(root + "\\Install\\Program\\OrveLin.exe", "старый клиент");
    testfiles::WriteTree(root + "\\seen.txt", "==== box\r\n" + secret + "!\r\n");
    Places places;
    places.files = {root + "\\seen.txt", root + "\\missing.txt"};
    places.logFolders = {root + "\\Logs"};
    places.folders = {root + "\\Install", root + "\\Nowhere"};
    places.skipped = {root + "\\Install\\Skipped"};
    const std::vector<std::string> found = FilesHolding(secret, places);
    testfiles::RemoveTree(root);
    EXPECT_EQ(found,
              (std::vector<std::string>{root + "\\seen.txt", root + "\\Logs\\deep\\run_Updater.log",
                                        root + "\\Install\\Tmp$1\\Old\\settings.bin"}));
}

TEST(SecretsScan, ServerPasswordIsNowhereAfterTheSuite) {
    const std::string secret = testenv::FbPassword();
    ASSERT_GE(secret.size(), 4u) << "the test environment names no password";
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    Places places;
    places.files = {testenv::SeenTextsFile()};
    // The programs' own logs beside them, and those of the test environment (the server's, the
    // test service's); the Wine prefix is looked at through its drive below.
    places.logFolders = {testfiles::FromUnixPath(testenv::Value("XQV_BUILD_DIR") + "/bin"),
                         testfiles::FromUnixPath(testenv::Dir())};
    places.skipped = {testfiles::FromUnixPath(testenv::Dir() + "/wineprefix")};
    places.folders = {"C:\\xqvtest", "C:\\XQV", temp, "C:\\windows\\temp"};
    const std::vector<std::string> found = FilesHolding(secret, places);
    EXPECT_TRUE(found.empty()) << "the server's password stands in:" << Listed(found);
}

} // namespace
