// The application manifest read back from the built updaters, as Windows reads it when it starts
// them: elevation required, no access to other programs' windows, a trustInfo section (without
// one a 32-bit program is virtualized), and the Windows versions from Vista to 10/11.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "test_files.h"

namespace {

// The manifest resource (type 24, id 1) of an exe, or "" when the exe or the resource is missing.
std::string ManifestOf(const std::string& exe) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return "";
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        HGLOBAL loaded = LoadResource(module, found);
        const DWORD size = SizeofResource(module, found);
        if (loaded && size) text.assign(static_cast<const char*>(LockResource(loaded)), size);
    }
    FreeLibrary(module);
    return text;
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void ExpectUpdaterManifest(const std::string& exe) {
    SCOPED_TRACE(exe);
    ASSERT_TRUE(testfiles::Exists(exe));
    const std::string manifest = ManifestOf(exe);
    ASSERT_FALSE(manifest.empty());
    EXPECT_TRUE(Holds(manifest, "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"));
    EXPECT_TRUE(Holds(manifest, "<requestedExecutionLevel level=\"requireAdministrator\" "
                                "uiAccess=\"false\"/>"));
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), manifest.rfind("requestedExecutionLevel"));
    for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) // 10 and 11
        EXPECT_TRUE(Holds(manifest, std::string("<supportedOS Id=\"") + os + "\"/>")) << os;
    // The window keeps its classic controls and its fixed layout.
    EXPECT_FALSE(Holds(manifest, "Microsoft.Windows.Common-Controls"));
    EXPECT_FALSE(Holds(manifest, "dpiAware"));
}

TEST(Manifest, OfTheUpdatersOfThisBuild) {
    ExpectUpdaterManifest(testfiles::ProgramFolder() + "\\Updater_OrveLin.exe");
    ExpectUpdaterManifest(testfiles::ProgramFolder() + "\\Updater_LogoLook.exe");
}

// The shipped 32-bit exe, whose path the test is given.
TEST(Manifest, OfTheShippedExe) {
    const char* shipped = std::getenv("XQV_SHIPPED_EXE");
    ASSERT_NE(shipped, nullptr);
    ExpectUpdaterManifest(shipped);
}

// Test programs are not updaters: they carry no demand for elevation.
TEST(Manifest, IsNotInTheTestPrograms) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(ManifestOf(self).find("requireAdministrator"), std::string::npos);
}

} // namespace
