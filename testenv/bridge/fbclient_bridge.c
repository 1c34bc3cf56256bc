/* Test equipment, never shipped: a winelib fbclient.dll that forwards the Windows client
 * library's functions to the Linux libfbclient.so.2. It also plays the part of a Windows
 * server that understands its own paths: a Windows path in a database string, or in the
 * isc_spb_dbname item of a services request, becomes the Unix path of the same file. */
/* The 32-bit Wine headers use va_list before they include anything that declares it. */
#include <stdarg.h>
#include <windef.h>
#include <winbase.h>
#include <winnls.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <limits.h>
#include <ibase.h>

static void* client_library(void) {
    static void* lib;
    if (!lib) {
        lib = dlopen("libfbclient.so.2", RTLD_NOW | RTLD_GLOBAL);
        if (!lib) {
            fprintf(stderr, "fbclient bridge: %s\n", dlerror());
            abort();
        }
    }
    return lib;
}

static void* client_function(const char* name) {
    void* f = dlsym(client_library(), name);
    if (!f) {
        fprintf(stderr, "fbclient bridge: %s missing\n", name);
        abort();
    }
    return f;
}

/* Each forwarder resolves its target once. */
#define FORWARD(ret, name, params, args)                                                           \
    ret WINAPI bridge_##name params {                                                              \
        static ret(*target) params;                                                                \
        if (!target) target = client_function("isc_" #name);                                       \
        return target args;                                                                        \
    }
#define FORWARD_FB(ret, name, params, args)                                                        \
    ret WINAPI bridge_fb_##name params {                                                           \
        static ret(*target) params;                                                                \
        if (!target) target = client_function("fb_" #name);                                        \
        return target args;                                                                        \
    }

/* XQV_BRIDGE_TRACE=1 shows what the bridge hands to the Linux client library. */
static void trace(const char* what, const char* text) {
    if (getenv("XQV_BRIDGE_TRACE")) fprintf(stderr, "fbclient bridge: %s %s\n", what, text);
}

/* A Windows path "X:\..." (or "X:/...") starting at s. */
static int is_windows_path(const char* s) {
    return ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')) && s[1] == ':' &&
           (s[2] == '\\' || s[2] == '/');
}

/* Wine answers with paths through "dosdevices/c:"; the server is given the real folder (the
 * file itself may not exist yet), since a colon inside the path confuses the client library. */
static char* resolve_links(const char* path) {
    const char* slash = strrchr(path, '/');
    char folder[PATH_MAX];
    char* resolved;
    char* joined;
    if (!slash || (size_t)(slash - path) >= sizeof folder) return strdup(path);
    memcpy(folder, path, (size_t)(slash - path));
    folder[slash - path] = 0;
    resolved = realpath(folder, NULL);
    if (!resolved) return strdup(path);
    joined = malloc(strlen(resolved) + strlen(slash) + 1);
    strcpy(joined, resolved);
    strcat(joined, slash);
    free(resolved);
    return joined;
}

/* The Unix path of a Windows path, malloc'ed, or NULL when Wine cannot map it. */
static char* unix_path(const char* windows_path) {
    static char*(CDECL * to_unix)(LPCWSTR);
    WCHAR wide[MAX_PATH * 2];
    char* mapped;
    char* copy;
    if (!to_unix)
        to_unix =
            (void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (!to_unix ||
        !MultiByteToWideChar(CP_ACP, 0, windows_path, -1, wide, sizeof wide / sizeof wide[0]))
        return NULL;
    mapped = to_unix(wide);
    if (!mapped) return NULL;
    copy = resolve_links(mapped);
    HeapFree(GetProcessHeap(), 0, mapped);
    return copy;
}

/* "server:X:\path", "X:\path" -> the same with the Unix path. Returns malloc'ed text. */
static char* rewrite_database_string(const char* db, short length) {
    size_t n = length ? (size_t)length : strlen(db);
    char* text = malloc(n + 1);
    const char* colon;
    size_t at = 0;
    memcpy(text, db, n);
    text[n] = 0;
    if (!is_windows_path(text)) {
        colon = strchr(text, ':');
        if (!colon || !is_windows_path(colon + 1)) return text;
        at = (size_t)(colon + 1 - text);
    }
    {
        char* mapped = unix_path(text + at);
        char* joined;
        if (!mapped) return text;
        joined = malloc(at + strlen(mapped) + 1);
        memcpy(joined, text, at);
        strcpy(joined + at, mapped);
        free(mapped);
        free(text);
        return joined;
    }
}

typedef ISC_STATUS (*attach_fn)(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short,
                                const ISC_SCHAR*);

ISC_STATUS WINAPI bridge_attach_database(ISC_STATUS* status, short length, const ISC_SCHAR* db,
                                         isc_db_handle* handle, short dpb_length,
                                         const ISC_SCHAR* dpb) {
    static attach_fn target;
    char* name = rewrite_database_string(db, length);
    ISC_STATUS result;
    if (!target) target = (attach_fn)client_function("isc_attach_database");
    trace("attach", name);
    result = target(status, 0, name, handle, dpb_length, dpb);
    free(name);
    return result;
}

ISC_STATUS WINAPI bridge_create_database(ISC_STATUS* status, short length, const ISC_SCHAR* db,
                                         isc_db_handle* handle, short dpb_length,
                                         const ISC_SCHAR* dpb, short type) {
    static ISC_STATUS (*target)(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short,
                                const ISC_SCHAR*, short);
    char* name = rewrite_database_string(db, length);
    ISC_STATUS result;
    if (!target) target = client_function("isc_create_database");
    trace("create", name);
    result = target(status, 0, name, handle, dpb_length, dpb, type);
    free(name);
    return result;
}

/* The products' services requests put isc_spb_dbname right after the action byte. */
ISC_STATUS WINAPI bridge_service_start(ISC_STATUS* status, isc_svc_handle* service,
                                       isc_resv_handle* reserved, unsigned short length,
                                       const ISC_SCHAR* spb) {
    static ISC_STATUS (*target)(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                                const ISC_SCHAR*);
    const unsigned char* in = (const unsigned char*)spb;
    unsigned char* out = NULL;
    ISC_STATUS result;
    if (!target) target = client_function("isc_service_start");
    if (length >= 4 && in[1] == isc_spb_dbname) {
        unsigned name_length = in[2] | (in[3] << 8);
        if (4u + name_length <= length) {
            char* windows_path = malloc(name_length + 1);
            char* mapped;
            memcpy(windows_path, in + 4, name_length);
            windows_path[name_length] = 0;
            mapped = is_windows_path(windows_path) ? unix_path(windows_path) : NULL;
            if (mapped) {
                size_t mapped_length = strlen(mapped);
                size_t rest = length - 4u - name_length;
                out = malloc(4 + mapped_length + rest);
                out[0] = in[0];
                out[1] = in[1];
                out[2] = (unsigned char)(mapped_length & 0xff);
                out[3] = (unsigned char)(mapped_length >> 8);
                memcpy(out + 4, mapped, mapped_length);
                memcpy(out + 4 + mapped_length, in + 4 + name_length, rest);
                length = (unsigned short)(4 + mapped_length + rest);
                free(mapped);
            }
            free(windows_path);
        }
    }
    result = target(status, service, reserved, length, out ? (const ISC_SCHAR*)out : spb);
    free(out);
    return result;
}

/* The transaction block's length is a Windows LONG (4 bytes) but a Linux long (8 bytes). */
typedef struct {
    isc_db_handle* db;
    LONG tpb_length;
    const ISC_SCHAR* tpb;
} windows_teb;
typedef struct {
    isc_db_handle* db;
    long tpb_length;
    const ISC_SCHAR* tpb;
} unix_teb;

ISC_STATUS WINAPI bridge_start_multiple(ISC_STATUS* status, isc_tr_handle* tr, short count,
                                        void* vector) {
    static ISC_STATUS (*target)(ISC_STATUS*, isc_tr_handle*, short, void*);
    const windows_teb* in = vector;
    unix_teb converted[16];
    short i;
    if (!target) target = client_function("isc_start_multiple");
    if (count < 0 || count > 16) count = 16;
    for (i = 0; i < count; i++) {
        converted[i].db = in[i].db;
        converted[i].tpb_length = in[i].tpb_length;
        converted[i].tpb = in[i].tpb;
    }
    return target(status, tr, count, converted);
}

/* Windows callers pass one database: (status, tr, 1, db, tpb length, tpb). */
ISC_STATUS CDECL bridge_start_transaction(ISC_STATUS* status, isc_tr_handle* tr, short count,
                                          isc_db_handle* db, short tpb_length,
                                          const ISC_SCHAR* tpb) {
    windows_teb one = {db, tpb_length, tpb};
    (void)count;
    return bridge_start_multiple(status, tr, 1, &one);
}

FORWARD(ISC_STATUS, detach_database, (ISC_STATUS * s, isc_db_handle* h), (s, h))
FORWARD(ISC_STATUS, drop_database, (ISC_STATUS * s, isc_db_handle* h), (s, h))
FORWARD(ISC_STATUS, database_info,
        (ISC_STATUS * s, isc_db_handle* h, short n, const ISC_SCHAR* items, short m,
         ISC_SCHAR* buf),
        (s, h, n, items, m, buf))
FORWARD(ISC_STATUS, service_attach,
        (ISC_STATUS * s, unsigned short n, const ISC_SCHAR* name, isc_svc_handle* h,
         unsigned short m, const ISC_SCHAR* spb),
        (s, n, name, h, m, spb))
FORWARD(ISC_STATUS, service_query,
        (ISC_STATUS * s, isc_svc_handle* h, isc_resv_handle* r, unsigned short a,
         const ISC_SCHAR* b, unsigned short c, const ISC_SCHAR* d, unsigned short e, ISC_SCHAR* f),
        (s, h, r, a, b, c, d, e, f))
FORWARD(ISC_STATUS, service_detach, (ISC_STATUS * s, isc_svc_handle* h), (s, h))
FORWARD(ISC_LONG, interprete, (ISC_SCHAR * buf, ISC_STATUS** v), (buf, v))
FORWARD_FB(ISC_LONG, interpret, (ISC_SCHAR * buf, unsigned int n, const ISC_STATUS** v),
           (buf, n, v))
FORWARD(ISC_LONG, sqlcode, (const ISC_STATUS* s), (s))
FORWARD_FB(void, sqlstate, (char* state, const ISC_STATUS* s), (state, s))
FORWARD(void, sql_interprete, (short code, ISC_SCHAR* buf, short n), (code, buf, n))
FORWARD(ISC_LONG, vax_integer, (const ISC_SCHAR* p, short n), (p, n))
FORWARD(ISC_INT64, portable_integer, (const ISC_UCHAR* p, short n), (p, n))
FORWARD(ISC_STATUS, commit_transaction, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(ISC_STATUS, commit_retaining, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(ISC_STATUS, rollback_transaction, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(ISC_STATUS, rollback_retaining, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(ISC_STATUS, transaction_info,
        (ISC_STATUS * s, isc_tr_handle* t, short n, const ISC_SCHAR* items, short m,
         ISC_SCHAR* buf),
        (s, t, n, items, m, buf))
FORWARD(ISC_STATUS, dsql_execute_immediate,
        (ISC_STATUS * s, isc_db_handle* d, isc_tr_handle* t, unsigned short n, const ISC_SCHAR* sql,
         unsigned short dialect, const XSQLDA* da),
        (s, d, t, n, sql, dialect, da))
FORWARD(ISC_STATUS, dsql_allocate_statement,
        (ISC_STATUS * s, isc_db_handle* d, isc_stmt_handle* st), (s, d, st))
FORWARD(ISC_STATUS, dsql_alloc_statement2, (ISC_STATUS * s, isc_db_handle* d, isc_stmt_handle* st),
        (s, d, st))
FORWARD(ISC_STATUS, dsql_prepare,
        (ISC_STATUS * s, isc_tr_handle* t, isc_stmt_handle* st, unsigned short n,
         const ISC_SCHAR* sql, unsigned short dialect, XSQLDA* da),
        (s, t, st, n, sql, dialect, da))
FORWARD(ISC_STATUS, dsql_describe,
        (ISC_STATUS * s, isc_stmt_handle* st, unsigned short v, XSQLDA* da), (s, st, v, da))
FORWARD(ISC_STATUS, dsql_describe_bind,
        (ISC_STATUS * s, isc_stmt_handle* st, unsigned short v, XSQLDA* da), (s, st, v, da))
FORWARD(ISC_STATUS, dsql_execute,
        (ISC_STATUS * s, isc_tr_handle* t, isc_stmt_handle* st, unsigned short v, const XSQLDA* da),
        (s, t, st, v, da))
FORWARD(ISC_STATUS, dsql_execute2,
        (ISC_STATUS * s, isc_tr_handle* t, isc_stmt_handle* st, unsigned short v, const XSQLDA* in,
         const XSQLDA* out),
        (s, t, st, v, in, out))
FORWARD(ISC_STATUS, dsql_fetch,
        (ISC_STATUS * s, isc_stmt_handle* st, unsigned short v, const XSQLDA* da), (s, st, v, da))
FORWARD(ISC_STATUS, dsql_free_statement,
        (ISC_STATUS * s, isc_stmt_handle* st, unsigned short option), (s, st, option))
FORWARD(ISC_STATUS, dsql_sql_info,
        (ISC_STATUS * s, isc_stmt_handle* st, short n, const ISC_SCHAR* items, short m,
         ISC_SCHAR* buf),
        (s, st, n, items, m, buf))
