// Fuzz target: the parameter buffers the updater builds for attachments and for the service
// manager. Each must read back item by item to exactly the values it was given (the user name of
// an attachment without surrounding blanks), or be refused with the product's error when a value
// does not fit its length byte; a request's database path must read back whole.
#include <ibase.h>
#include <cstdlib>
#include "db_params.h"
#include "db_services.h"
#include "errors.h"
#include "fuzz_input.h"

namespace {

void Expect(bool condition) {
    if (!condition) abort();
}

void ExpectItem(const std::string& buffer, size_t& at, int tag, const std::string& value) {
    char readTag = 0;
    std::string readValue;
    Expect(ReadShortItem(buffer, at, readTag, readValue));
    Expect(static_cast<unsigned char>(readTag) == tag && readValue == value);
}

void CheckAttachDpb(const std::string& user, const std::string& password, const std::string& role) {
    std::string dpb;
    try {
        dpb = xqv::BuildAttachDpb(user, password, role);
    } catch (const xqv::Error&) {
        Expect(xqv::TrimBlanks(user).size() > 255 || password.size() > 255 || role.size() > 255);
        return;
    }
    Expect(!dpb.empty() && dpb[0] == isc_dpb_version1);
    size_t at = 1;
    ExpectItem(dpb, at, isc_dpb_user_name, xqv::TrimBlanks(user));
    ExpectItem(dpb, at, isc_dpb_password, password);
    if (!role.empty()) ExpectItem(dpb, at, isc_dpb_sql_role_name, role);
    ExpectItem(dpb, at, isc_dpb_lc_ctype, "WIN1251");
    Expect(at == dpb.size());
}

void CheckServiceSpb(const std::string& user, const std::string& password) {
    std::string spb;
    try {
        spb = xqv::BuildServiceSpb(user, password);
    } catch (const xqv::Error&) {
        Expect(user.size() > 255 || password.size() > 255);
        return;
    }
    Expect(spb.size() >= 2 && spb[0] == isc_spb_version && spb[1] == isc_spb_current_version);
    size_t at = 2;
    ExpectItem(spb, at, isc_spb_user_name, user);
    ExpectItem(spb, at, isc_spb_password, password);
    Expect(at == spb.size());
}

// The properties action, the path as a two-byte-length item when given, then the option.
void CheckRequest(const std::string& path, bool shutdown) {
    std::string request;
    try {
        request = shutdown ? xqv::BuildShutdownRequest(path) : xqv::BuildOnlineRequest(path);
    } catch (const xqv::Error&) {
        Expect(path.size() > 0xFFFF - 16);
        return;
    }
    Expect(request[0] == isc_action_svc_properties);
    size_t at = 1;
    if (!path.empty()) {
        Expect(request.size() >= 4 && request[1] == isc_spb_dbname);
        const size_t length = static_cast<unsigned char>(request[2]) |
                              size_t(static_cast<unsigned char>(request[3])) << 8;
        Expect(length == path.size() && request.compare(4, length, path) == 0);
        at = 4 + length;
    }
    Expect(request.size() == at + 5);
    const int option = shutdown ? isc_spb_prp_shutdown_db : isc_spb_options;
    const long value = shutdown ? 1 : isc_spb_prp_db_online;
    Expect(static_cast<unsigned char>(request[at]) == option);
    long read = 0;
    for (int i = 0; i < 4; ++i)
        read |= long(static_cast<unsigned char>(request[at + 1 + i])) << (8 * i);
    Expect(read == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> f = FuzzFields(data, size, 4);
    CheckAttachDpb(f[0], f[1], f[2]);
    CheckServiceSpb(f[0], f[1]);
    CheckRequest(f[3], true);
    CheckRequest(f[3], false);
    return 0;
}
