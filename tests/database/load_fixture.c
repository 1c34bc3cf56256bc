/* A library that loads and does nothing: built for the other bitness, and as the dependency
 * that the library below needs and does not find. */
__declspec(dllexport) int xqv_load_fixture(void) {
    return 1;
}
