# Shared by the two top-level commands: install, bring the environment up, build.

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# Installs, brings the environment up, and arranges for it to be taken down at exit unless it
# was already running before (then whoever started it keeps it).
prepare_environment() {
    as_root bash "$XQV_ROOT/testenv/install-packages.sh"
    local was_up=0
    [ -f "$FB_DIR/server.pid" ] && kill -0 "$(cat "$FB_DIR/server.pid")" 2>/dev/null &&
        [ -f "$XVFB_PIDFILE" ] && kill -0 "$(cat "$XVFB_PIDFILE")" 2>/dev/null && was_up=1
    bash "$XQV_ROOT/testenv/setup.sh"
    [ $was_up = 1 ] || trap 'bash "$XQV_ROOT/testenv/stop.sh"' EXIT
}

# build_preset NAME: configure (once) and build one CMake preset.
build_preset() {
    (cd "$XQV_ROOT" &&
        { [ -f "build/$1/build.ninja" ] || cmake --preset "$1" >/dev/null; } &&
        cmake --build --preset "$1")
}
