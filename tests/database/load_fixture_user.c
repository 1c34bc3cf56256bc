/* A library that needs load_fixture's library, which the tests keep out of every search path. */
__declspec(dllimport) int xqv_load_fixture(void);

__declspec(dllexport) int xqv_load_fixture_user(void) {
    return xqv_load_fixture();
}
