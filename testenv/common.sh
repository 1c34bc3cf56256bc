# Shared by the two top-level commands: install, bring the environment up, build.

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

prepare_environment() {
    as_root bash "$XQV_ROOT/testenv/install-packages.sh"
    bash "$XQV_ROOT/testenv/setup.sh"
}

# build_preset NAME: configure (once) and build one CMake preset.
build_preset() {
    (cd "$XQV_ROOT" &&
        { [ -f "build/$1/build.ninja" ] || cmake --preset "$1" >/dev/null; } &&
        cmake --build --preset "$1")
}
