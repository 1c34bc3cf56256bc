// Lays out a Firebird installation of the test environment for shell scripts, with the test
// service standing in for the server's service (see tests/support/fb_service_fixture.h).
//   xqvfbctl install vendor-super|vendor-classic|standard-super|standard-classic|none
//   xqvfbctl restore      everything back to normal, the server running
//   xqvfbctl status       the installation kind and whether the server listens
// Run it through testenv/wine-run.sh, which tells it where the test environment lies.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include "fb_service_setup.h"
#include "service_settings.h"

namespace {

using testenv::FbInstallation;

struct Kind {
    const char* name;
    FbInstallation kind;
};
const Kind kKinds[] = {{"none", FbInstallation::None},
                       {"vendor-super", FbInstallation::VendorSuper},
                       {"vendor-classic", FbInstallation::VendorClassic},
                       {"standard-super", FbInstallation::StandardSuper},
                       {"standard-classic", FbInstallation::StandardClassic}};

int Usage() {
    std::fprintf(stderr, "usage: xqvfbctl install vendor-super|vendor-classic|standard-super|"
                         "standard-classic|none\n       xqvfbctl restore\n"
                         "       xqvfbctl status\n");
    return 2;
}

const char* NameOf(FbInstallation kind) {
    for (const Kind& k : kKinds)
        if (k.kind == kind) return k.name;
    return "?";
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc >= 2 ? argv[1] : "";
        if (command == "install" && argc == 3) {
            for (const Kind& k : kKinds) {
                if (std::strcmp(argv[2], k.name) != 0) continue;
                fbservice::Install(k.kind);
                std::printf("xqvfbctl: installed %s%s%s\n", k.name,
                            fbservice::ServerExePath().empty() ? "" : ", server ",
                            fbservice::ServerExePath().c_str());
                return 0;
            }
            std::fprintf(stderr, "xqvfbctl: unknown installation kind '%s'\n", argv[2]);
            return Usage();
        }
        if (command == "restore" && argc == 2) {
            fbservice::Restore();
            std::printf("xqvfbctl: restored\n");
            return 0;
        }
        if (command == "status" && argc == 2) {
            std::printf("%s, server %s\n", NameOf(fbservice::ReadSettings().installation),
                        fbservice::ServerListening() ? "listening" : "not listening");
            return 0;
        }
        return Usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "xqvfbctl: %s\n", e.what());
        return 1;
    }
}
