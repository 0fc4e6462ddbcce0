#!/usr/bin/env bash
# examples/run's own set-up on a machine that lacks Debian packages, without
# touching this machine: a copy of the script in a tree with no build, run
# with a PATH of stand-in commands (dpkg-query reports two packages missing,
# as on a fresh machine of this project's kind; apt-get records its arguments
# and fails, so that nothing is built).
#   example_setup_test.sh EXAMPLES_RUN
set -euo pipefail
work=$(mktemp -d /tmp/setup-example-setup-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir -p "$work/tree/examples" "$work/tree/cmake" "$work/bin"
cp "$1" "$work/tree/examples/run"
cp "$(dirname "$1")/../cmake/install_packages.sh" "$work/tree/cmake/"
for tool in bash env dirname grep; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
case "${!#}" in nlohmann-json3-dev | binutils-mingw-w64-x86-64) exit 1 ;; *) echo "install ok installed" ;; esac
EOF
cat >"$work/bin/apt-get" <<EOF
#!/usr/bin/env bash
echo "apt-get \$*" >>"$work/log"
[ "\$1" = update ]
EOF
cat >"$work/bin/id" <<EOF
#!/usr/bin/env bash
echo "\$(<"$work/uid")"
EOF
chmod +x "$work/bin/"*

# Runs the copy as user $1, with sudo or without ($2): it must exit with 2,
# saying $3, and apt-get must have been asked for $4 (nothing at all when "").
expect() {
  echo "$1" >"$work/uid"
  rm -f "$work/log" "$work/bin/sudo"
  if [ "$2" = sudo ]; then
    printf '#!/usr/bin/env bash\necho "sudo $*" >>"%s/log"\nexec "$@"\n' "$work" >"$work/bin/sudo"
    chmod +x "$work/bin/sudo"
  fi
  local code=0 log
  out=$(PATH="$work/bin" "$work/tree/examples/run" 2>&1) || code=$?
  log=$(cat "$work/log" 2>&1) || log=""
  [ "$code" = 2 ] && grep -qF -- "$3" <<<"$out" || fail "user $1, $2 sudo: exit code $code: $out"
  { [ -z "$4" ] && [ -z "$log" ]; } || { [ -n "$4" ] && grep -qF -- "$4" <<<"$log"; } || fail "user $1, $2 sudo, the log: $log"
}

wanted="nlohmann-json3-dev binutils-mingw-w64-x86-64"
install="apt-get install -y -qq --no-install-recommends $wanted"
expect 1000 none "as root: apt-get install $wanted" ""
expect 1000 sudo "needs: $wanted (through sudo)" "sudo env DEBIAN_FRONTEND=noninteractive $install"
expect 0 none "examples/run: installing the Debian packages that building setup needs: $wanted" "$install"
grep -qxF "examples/run: installing $wanted failed" <<<"$out" || fail "as root, the failure: $out"
echo "PASS: examples/run installs what building needs, as root or through sudo, and says so"
