# Shared by the top-level commands: install, bring the environment up, build, probe. Sourced
# after env.sh, except that can_run_i686 may be called before it.

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

environment_up() {
    [ -f "$FB_DIR/server.pid" ] && kill -0 "$(cat "$FB_DIR/server.pid")" 2>/dev/null &&
        [ -f "$XVFB_PIDFILE" ] && kill -0 "$(cat "$XVFB_PIDFILE")" 2>/dev/null
}

# Brings the test environment of this build (XQV_ARCH) up and arranges for it to be taken down
# at exit unless it was already running before (then whoever started it keeps it).
bring_environment_up() {
    local was_up=0
    environment_up && was_up=1
    bash "$XQV_ROOT/testenv/setup.sh"
    [ $was_up = 1 ] || trap 'bash "$XQV_ROOT/testenv/stop.sh"' EXIT
}

# Installs, then brings the environment up.
prepare_environment() {
    as_root bash "$XQV_ROOT/testenv/install-packages.sh"
    bring_environment_up
}

# build_preset NAME: configure (once) and build one CMake preset.
build_preset() {
    (cd "$XQV_ROOT" &&
        { [ -f "build/$1/build.ninja" ] || cmake --preset "$1" >/dev/null; } &&
        cmake --build --preset "$1")
}

# Whether this machine runs 32-bit x86 programs, found out by running one: a tiny static i386
# program that needs no library. When it does not, prints why and answers false.
runs_32bit_programs() {
    local dir out code=0
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/probe.s"
    if ! as --32 -o "$dir/probe.o" "$dir/probe.s" >/dev/null 2>&1 ||
        ! ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" >/dev/null 2>&1; then
        rm -rf "$dir"
        echo "no 32-bit assembler and linker to build the probe program"
        return 1
    fi
    out=$("$dir/probe" 2>&1) || code=$?
    rm -rf "$dir"
    [ $code = 0 ] && return 0
    echo "the kernel does not run 32-bit programs (the probe program: ${out##*: }${out:+, }exit code $code)"
    return 1
}

# Whether the i686 build's programs can run here: the kernel runs 32-bit programs and what runs
# them is installed (installed now when missing; its output goes to stderr). When not, prints
# why and answers false.
can_run_i686() {
    runs_32bit_programs || return 1
    if ! as_root bash "$(dirname "${BASH_SOURCE[0]}")/install-packages.sh" --i686 >&2; then
        echo "the packages that run 32-bit programs could not be installed (see above)"
        return 1
    fi
}

# private_network_add NAME: a network namespace of that name with its loopback up (its own
# 127.0.0.1, so a test environment inside has its own server on the same port); false when
# none can be made here. private_network_del NAME removes it.
private_network_add() {
    command -v ip >/dev/null || return 1
    as_root ip netns add "$1" 2>/dev/null || return 1
    as_root ip netns exec "$1" ip link set lo up 2>/dev/null && return 0
    private_network_del "$1"
    return 1
}

private_network_del() { as_root ip netns del "$1" 2>/dev/null || true; }
