#!/bin/bash
# Builds TavoSetup.exe and Tavo.Deploy.exe with MinGW-w64 and runs them under Wine.
#
#   ./build.sh demo    build, then run the worker's check and install, and the launcher's install, under Wine,
#                      and write the gallery
#   ./build.sh test    build, then run every test through ctest: the 64-bit suite, then the
#                      32-bit tier (the i686 launcher in an emulated 64-bit PC; see the README)
#   ./build.sh bench   build, then print the release programs' sizes against the download budget and
#                      time the worker's check and install against a trivial program
#   ./build.sh gallery build, then write a screenshot of every screen of the setup window into
#                      build/x64-test/gallery (not part of test)
#
# Installs the Debian packages it needs first (as root, or through sudo).
# Build trees:
#   build/x64-release   the release worker
#   build/i686-release  the release launcher, carrying the release worker as resource 301
#   build/x64-test      the test flavour: worker, launcher, tests, benchmark, Wine prefix
#   build/i686-test     the i686 launcher of the test flavour and the 32-bit tier (test only)
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=2

usage() {
  echo "usage: $0 demo|test|bench|gallery" >&2
  exit 2
}
[ $# -eq 1 ] || usage
command=$1
case $command in demo | test | bench | gallery) ;; *) usage ;; esac

wine_i386_dlls=$(bash scripts/install-packages.sh)

release_worker="$root/build/x64-release/src/worker/Tavo.Deploy.exe"
release_launcher="$root/build/i686-release/src/main/TavoSetup.exe"
test_tree="$root/build/x64-test"
tier32_tree="$root/build/i686-test"

# configure TREE ARCH FLAVOUR [CMAKE OPTION...]
configure() {
  local tree=$1 arch=$2 flavour=$3
  shift 3
  cmake -S "$root" -B "$root/build/$tree" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" -DTAVO_FLAVOUR="$flavour" "$@" >/dev/null
}

build_all() {
  # Release trees without a certificate share one throwaway signing authority.
  local test_signing="$root/build/test-signing"
  echo "== build/x64-release"
  configure x64-release x86_64 release -DTAVO_TEST_SIGNING_DIR="$test_signing"
  cmake --build build/x64-release -j "$jobs"
  echo "== build/i686-release"
  configure i686-release i686 release -DTAVO_WORKER_EXE="$release_worker" -DTAVO_TEST_SIGNING_DIR="$test_signing"
  cmake --build build/i686-release -j "$jobs"
  echo "== build/x64-test"
  local signing_ca
  signing_ca=$(release_signing_ca "$test_signing")
  configure x64-test x86_64 test -DPython3_EXECUTABLE=/usr/bin/python3 -DTAVO_RELEASE_WORKER="$release_worker" \
    -DTAVO_RELEASE_LAUNCHER="$release_launcher" -DTAVO_WINE_I386_DLLS="$wine_i386_dlls" \
    ${signing_ca:+"$signing_ca"}
  cmake --build build/x64-test -j "$jobs"
}

# The i686 launcher of the test flavour carries the x64 test launcher's worker
# as it is, and the 32-bit tier uses the x64 test tree's programs.
build_tier32() {
  echo "== build/i686-test"
  configure i686-test i686 test -DPython3_EXECUTABLE=/usr/bin/python3 \
    -DTAVO_WORKER_EXE="$test_tree/src/main/embedded/Tavo.Deploy.exe" -DTAVO_X64_TEST_TREE="$test_tree"
  cmake --build build/i686-test -j "$jobs"
  bash tests/tier32/prepare-guest.sh "$tier32_tree"
}

# The authority that verifies the release programs' signatures, for the test
# tree: the throwaway one when the release trees have no certificate; with a
# certificate, the test tree keeps the TAVO_SIGNING_CA its release manager set.
release_signing_ca() {
  if ! grep -q '^TAVO_SIGNING_PFX:FILEPATH=.' "$root/build/x64-release/CMakeCache.txt"; then
    echo "-DTAVO_SIGNING_CA=$1/ca.pem"
  fi
}

# The test tree's Wine session (Xvfb, wineserver, prefix state), stopped on exit.
start_session() {
  trap 'bash "$root/scripts/wine-session.sh" stop "$test_tree" >/dev/null' EXIT
  bash scripts/wine-session.sh start "$test_tree" >/dev/null
}

program() { sed -n "s/^$2='\(.*\)'\$/\1/p" "$test_tree/$1"; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

demo() {
  start_session
  local report="$test_tree/demo/install.json" line code=""
  mkdir -p "$test_tree/demo"
  rm -f "$report" "$report.trace.jsonl"
  echo "== Tavo.Deploy.exe --check --report $(windows_path "$report")"
  while IFS= read -r line; do
    case $line in
      exit=*) code=${line#exit=} ;;
      *) printf '%s\n' "$line" ;;
    esac
  done < <(sh scripts/wine-exec.sh "$test_tree" "$(program test-programs.env TAVO_RUNNER)" -- \
    "$(windows_path "$(program test-programs.env TAVO_WORKER)")" --check --report "$(windows_path "$report")")
  [ -n "$code" ] || { echo "demo: the runner did not report an exit code" >&2; exit 1; }
  echo "exit code: $code"
  echo "report: $report"

  # A full simulated install through the loopback package host, then a rerun
  # that finds the existing install.
  python3 tests/hosts/package_host.py start "$test_tree" >/dev/null
  trap 'python3 "$root/tests/hosts/package_host.py" stop "$test_tree" >/dev/null;
        bash "$root/scripts/wine-session.sh" stop "$test_tree" >/dev/null' EXIT
  python3 scripts/demo_install.py "$test_tree"
  python3 scripts/demo_launcher.py "$test_tree"
  gallery
}

# Every screen of the setup window as its preview mode renders it.
gallery() {
  echo "== gallery: TavoSetup.exe --preview --state NAME --screenshot FILE"
  python3 scripts/gallery.py "$test_tree"
  echo "gallery: $test_tree/gallery"
}

# One line each time a tree's CMake progress ("[ NN%]") reaches a new ten, so
# that a long first build shows it is moving without its whole output. Only
# rises count: a tree's later lines may carry an earlier percentage.
build_progress() {
  local line tree="" shown=-1 percent
  while IFS= read -r line || [ -n "$line" ]; do
    if [[ $line == "== "* ]]; then
      tree=${line#== }
      shown=-1
    elif [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
      percent=${BASH_REMATCH[1]}
      if [ $((percent / 10)) -gt "$shown" ]; then
        shown=$((percent / 10))
        printf '%-20s %3d%%\n' "$tree" "$percent"
      fi
    fi
  done
}

if [ "$command" = test ]; then
  build_all
  build_tier32
else
  # Only the figures or events matter here: the build's output goes to a log,
  # and the terminal gets its progress.
  mkdir -p build
  echo "building the release and test trees (a first build takes about 5 minutes on 2 cores; later builds redo only what changed); log: build/build.log"
  # build_all gets errexit in its own subshell: on the left of || bash ignores
  # it, and a failed tree would not stop the ones after it.
  set +e
  (set -e; build_all) 2>&1 | tee build/build.log | build_progress
  status=$?
  set -e
  if [ "$status" -ne 0 ]; then
    tail -n 40 build/build.log
    echo "build failed: build/build.log" >&2
    exit 1
  fi
fi
case $command in
  demo) demo ;;
  gallery)
    start_session
    gallery
    ;;
  test)
    ctest --test-dir "$test_tree" --output-on-failure --no-tests=error -j "$jobs"
    # One guest runs the tier's tests one after another; it uses both cores itself.
    ctest --test-dir "$tier32_tree" --output-on-failure --no-tests=error
    ;;
  bench)
    python3 "$root/bench/size_report.py" "$release_launcher" "$release_worker"
    start_session
    python3 tests/hosts/package_host.py start "$test_tree" >/dev/null
    trap 'python3 "$root/tests/hosts/package_host.py" stop "$test_tree" >/dev/null;
          bash "$root/scripts/wine-session.sh" stop "$test_tree" >/dev/null' EXIT
    python3 "$root/bench/bench.py" "$test_tree"
    ;;
esac
