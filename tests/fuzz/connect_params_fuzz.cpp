// Fuzz target: the connect parameter string between the updater and the script library. Values
// go in unescaped; whatever the password holds (the freest value, which may contain "; " and "="),
// the string the updater forms must read back to exactly the values it was formed from, as long
// as the other values hold no key of the string. The library's attachment buffer built from them
// must then read back item by item, or be refused without showing a value. Any other text is
// either refused or read with a dialect of 1, 2 or 3.
#include <ibase.h>
#include <cstdlib>
#include "connect_params.h"
#include "errors.h"
#include "fuzz_input.h"
#include "script_runner.h"

using xqv::script::ConnectParams;

namespace {

void Expect(bool condition) {
    if (!condition) abort();
}

const char* const kKeys[] = {"; clientlib=", "; sql_dialect=", "; sql_role_name=",
                             "; lc_ctype=",  "; user_name=",   "; password="};

bool HoldsKey(const std::string& value) {
    for (const char* key : kKeys)
        if (value.find(key) != std::string::npos) return true;
    return false;
}

std::string Trimmed(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

void CheckDpb(const ConnectParams& params) {
    std::string dpb;
    try {
        dpb = xqv::script::BuildDpb(params);
    } catch (const xqv::Error& e) {
        // The message names the parameter, never its value.
        bool named = false;
        for (const char* key :
             {"user_name", "password", "sql_role_name", "lc_ctype", "sql_dialect"})
            named = named || std::string(e.what()) ==
                                 std::string("Слишком длинное значение параметра подключения \"") +
                                     key + "\"!";
        Expect(named);
        return;
    }
    Expect(dpb[0] == isc_dpb_version1);
    size_t at = 1;
    char tag = 0;
    std::string value;
    Expect(ReadShortItem(dpb, at, tag, value) && tag == isc_dpb_user_name &&
           value == Trimmed(params.userName));
    Expect(ReadShortItem(dpb, at, tag, value) && tag == isc_dpb_password &&
           value == params.password);
    if (!params.roleName.empty())
        Expect(ReadShortItem(dpb, at, tag, value) && tag == isc_dpb_sql_role_name &&
               value == params.roleName);
    if (!params.charSet.empty())
        Expect(ReadShortItem(dpb, at, tag, value) && tag == isc_dpb_lc_ctype &&
               value == params.charSet);
    Expect(ReadShortItem(dpb, at, tag, value) && tag == isc_dpb_sql_dialect &&
           value == std::string(1, static_cast<char>(params.dialect)));
    Expect(at == dpb.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Any text: refused, or read with a valid dialect.
    ConnectParams raw;
    if (xqv::script::ParseConnectParams(std::string_view(reinterpret_cast<const char*>(data), size),
                                        raw)) {
        Expect(raw.dialect >= 1 && raw.dialect <= 3);
        CheckDpb(raw);
    }

    const std::vector<std::string> f = FuzzFields(data, size, 6);
    const std::string &library = f[0], &database = f[1], &user = f[2], &charSet = f[3],
                      &password = f[4], &role = f[5];
    const std::string text =
        xqv::ScriptConnectParams(library, database, user, charSet, password, role);
    ConnectParams params;
    const bool read = xqv::script::ParseConnectParams(text, params);
    if (HoldsKey(library) || HoldsKey(user) || HoldsKey(charSet) || HoldsKey(role) ||
        database.find("; password=") != std::string::npos)
        return 0;
    Expect(read);
    Expect(params.clientLibrary == library && params.database == database &&
           params.userName == user && params.charSet == charSet && params.password == password &&
           params.roleName == role && params.dialect == 3);
    CheckDpb(params);
    return 0;
}
