// Proves the native side of the test environment: the Firebird client library, loaded at run
// time, reaches the test server, which creates, attaches and drops a database.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <unistd.h>
#include "fb_dpb.h"
#include "test_env.h"

namespace {

using Status = intptr_t;
using Handle = unsigned int;
using CreateFn = Status (*)(Status*, short, const char*, Handle*, short, const char*, short);
using AttachFn = Status (*)(Status*, short, const char*, Handle*, short, const char*);
using DetachFn = Status (*)(Status*, Handle*);
using InterpretFn = int (*)(char*, unsigned, const Status**);

std::string StatusText(InterpretFn interpret, const Status* status) {
    std::string text;
    char line[512];
    const Status* cursor = status;
    while (interpret(line, sizeof line, &cursor) > 0)
        text += std::string(line) + "\n";
    return text;
}

TEST(NativeEnvironment, AttachesToTestServerThroughRuntimeLoadedClient) {
    void* lib = dlopen("libfbclient.so.2", RTLD_NOW);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto create = reinterpret_cast<CreateFn>(dlsym(lib, "isc_create_database"));
    auto attach = reinterpret_cast<AttachFn>(dlsym(lib, "isc_attach_database"));
    auto detach = reinterpret_cast<DetachFn>(dlsym(lib, "isc_detach_database"));
    auto drop = reinterpret_cast<DetachFn>(dlsym(lib, "isc_drop_database"));
    auto interpret = reinterpret_cast<InterpretFn>(dlsym(lib, "fb_interpret"));
    ASSERT_TRUE(create && attach && detach && drop && interpret);

    ASSERT_FALSE(testenv::Dir().empty()) << "run through ctest";
    const std::string path = testenv::Dir() + "/native_smoke.fdb";
    unlink(path.c_str());
    const std::string db = testenv::FbServer() + ":" + path;
    const std::string dpb = testenv::UserDpb(testenv::FbUser(), testenv::FbPassword());
    Status status[20] = {};
    Handle handle = 0;
    ASSERT_EQ(create(status, 0, db.c_str(), &handle, short(dpb.size()), dpb.data(), 0), 0)
        << StatusText(interpret, status);
    ASSERT_EQ(detach(status, &handle), 0);
    ASSERT_EQ(attach(status, 0, db.c_str(), &handle, short(dpb.size()), dpb.data()), 0)
        << StatusText(interpret, status);
    ASSERT_EQ(drop(status, &handle), 0) << StatusText(interpret, status);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    dlclose(lib);
}

} // namespace
