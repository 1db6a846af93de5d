# Sourced by the scripts: the build kinds, their folders and configuration,
# how a build's programs are started, and the check that no test skipped
# itself unseen. Expects $top, the source tree.

# Kinds of build:
#   x86_64   the 64-bit plug-in, gcc (RelWithDebInfo), as shipped
#   i386     the 32-bit plug-in, gcc -m32, as shipped: the target
#   clang    the 64-bit plug-in built by clang, with its thread-safety analysis
#            as errors: the plug-in as a host gets it from another toolchain
# A sanitizer build adds -DVANTIX_SANITIZE=... to one of these.
vantix_cmake_args() {
  case "$1" in
    x86_64) ;;
    i386) echo "-DCMAKE_TOOLCHAIN_FILE=$top/cmake/i386.cmake" ;;
    clang) echo "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVANTIX_THREAD_SAFETY=ON" ;;
    *) echo "unknown build kind: $1 (x86_64, i386 or clang)" >&2; return 2 ;;
  esac
}

# Configures the build of KIND in DIR, with any further cmake arguments.
vantix_configure() {
  local kind=$1 dir=$2 args
  shift 2
  args=$(vantix_cmake_args "$kind") || exit 2
  # shellcheck disable=SC2086
  cmake -S "$top" -B "$dir" $args "$@" >/dev/null
}

# How the programs of the configured build in DIR are started: nothing for a
# native build, env with the i386 APR's library path, or qemu-i386. One word a line.
vantix_runner() {
  sed -n 's/^VANTIX_RUNNER:INTERNAL=//p' "$1/CMakeCache.txt" | tr ';' '\n' | sed '/^$/d'
}

# "natively" or "under qemu-i386".
vantix_runs() {
  sed -n 's/^VANTIX_RUNS:INTERNAL=//p' "$1/CMakeCache.txt"
}

# True when the build in DIR runs its programs natively: checks that watch a
# process from outside (sanitizers, valgrind, the soak, the benchmark) need it.
vantix_native() {
  [ "$(vantix_runs "$1")" = natively ]
}

# Runs ctest in DIR with each test program's results written as XML, then
# lists every test that skipped itself. Fails when ctest fails or when a
# skip is not one of the EXPECTED names (Suite.Test) given after --.
#   vantix_ctest DIR [ctest arguments...] [-- EXPECTED...]
vantix_ctest() {
  local dir=$1 xml args=() expected=() status=0
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  expected=("$@")
  xml="$dir/test-results"
  rm -rf "$xml"
  mkdir -p "$xml"
  GTEST_OUTPUT="xml:$xml/" ctest --test-dir "$dir" --output-on-failure "${args[@]}" || status=1
  local skips
  skips=$(vantix_skips "$xml")
  if [ -n "$skips" ]; then
    echo "skipped tests in $dir:"
    local name reason
    while IFS=$'\t' read -r name reason; do
      if printf '%s\n' "${expected[@]}" | grep -qxF "$name"; then
        echo "  $name (expected here): $reason"
      else
        echo "  $name (NOT expected): $reason"
        status=1
      fi
    done <<<"$skips"
  else
    echo "skipped tests in $dir: none"
  fi
  return $status
}

# "Suite.Test<TAB>message" for every skipped test case in the XML files of DIR.
vantix_skips() {
  local file
  for file in "$1"/*.xml; do
    [ -e "$file" ] || continue
    awk '
      /<testcase / {
        match($0, / name="[^"]*"/); name = substr($0, RSTART + 7, RLENGTH - 8)
        match($0, / classname="[^"]*"/); suite = substr($0, RSTART + 12, RLENGTH - 13)
        skipped = ($0 ~ /result="skipped"/)
      }
      skipped && /<skipped / {
        message = ""
        if (match($0, /message="[^"]*"/)) message = substr($0, RSTART + 9, RLENGTH - 10)
        printf "%s.%s\t%s\n", suite, name, message
        skipped = 0
      }' "$file"
  done | sed -e 's/&#x0A;/: /g' -e 's/&quot;/"/g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&amp;/\&/g' -e "s/&apos;/'/g"
}
