#!/usr/bin/env bash
# examples/run PACKAGE_DIR and the preview it starts with.
#   preview_test.sh input  EXAMPLES_RUN BUILD_DIR      packages it must refuse, with exit code 2
#   preview_test.sh corpus EXAMPLES_RUN BUILD_DIR CORPUS_DIR
#                                                      a handful of real INF files (exit 77: no corpus)
set -euo pipefail
mode=$1 run=$2 build=$3 corpus=${4:-}
preview="$build/preview" example="$(dirname "$run")/package"
work=$(mktemp -d /tmp/setup-preview-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# The output with its line breaks and indents folded into single blanks, so
# that a wrapped sentence is still found whole.
flat() { tr -s ' \n' '  ' <<<"$1"; }
has() { grep -qF -- "$2" <<<"$(flat "$1")" || { echo "$1"; fail "$3: lacks \"$2\""; }; }

# The package directory for one corpus file, named .inf, with a stand-in for
# every file the preview says it lacks; the copies are writable, as a
# vendor's own files are.
package_of() {
  local dir="$work/$(basename "$1")" out
  mkdir -p "$dir" && cp "$corpus/$1" "$dir/$(basename "${1%%.*}").inf" && chmod -R u+w "$dir"
  if ! out=$("$preview" "$dir" 2>&1); then
    grep -q "names files the directory lacks" <<<"$out" || fail "$1: $out"
    sed -n 's/^    //p' <<<"$out" | tr '\\' / | while IFS= read -r f; do
      mkdir -p "$dir/$(dirname "$f")" && echo "stand-in" >"$dir/$f"
    done
  fi
  echo "$dir"
}

if [ "$mode" = input ]; then
  refused() {  # NAME DIR TEXT: the preview and examples/run both refuse DIR with exit 2, saying TEXT
    local out code=0
    out=$("$preview" "$2" 2>&1) || code=$?
    [ "$code" = 2 ] || fail "$1: preview exited $code: $out"
    grep -qF -- "$3" <<<"$out" || fail "$1: preview said: $out"
    code=0
    out=$("$run" --build "$build" "$2" 2>&1) || code=$?
    [ "$code" = 2 ] && grep -qF -- "$3" <<<"$out" || fail "$1: examples/run exited $code: $out"
    ! grep -q '^== ' <<<"$out" || fail "$1: examples/run went on: $out"
  }
  mkdir "$work/empty"
  refused "no INF" "$work/empty" "no INF file in"
  mkdir "$work/lacking" && cp "$example"/exampledrv.inf "$example"/exampledrv.sys "$work/lacking/"
  refused "a named file missing" "$work/lacking" "exampledrv.inf names files the directory lacks:"
  out=$("$preview" "$work/lacking" 2>&1 || true)
  grep -qx '    exampledrv.dll' <<<"$out" && ! grep -q 'exampledrv.sys' <<<"$out" || fail "the missing list: $out"
  mkdir "$work/broken" && cp "$example"/* "$work/broken/" && ln -s nowhere "$work/broken/other.inf"
  refused "an unreadable INF" "$work/broken" "cannot read other.inf"
  mkdir "$work/dir-file" && cp "$example"/exampledrv.inf "$example"/exampledrv.sys "$work/dir-file/"
  mkdir "$work/dir-file/exampledrv.dll"
  refused "a named file that is a directory" "$work/dir-file" "cannot read exampledrv.dll (it is a directory)"
  refused "not a directory" "$work/nothing-here" "is not a directory"
  echo "PASS: the preview refuses what it cannot show"
  exit 0
fi

[ -d "$corpus" ] || { echo "SKIP: no INF corpus at $corpus"; exit 77; }

# FILE | what its preview must say
cases=(
  "reactos/display.inf|1. PCI\\CC_0000 install section VGA_Inst 2. PCI\\CC_0001 install section VGA_Inst"
  "reactos/display.inf|deletes C:\\WINDOWS\\system32\\vgaddi.dll deletes C:\\WINDOWS\\system32\\framebuf.dll"
  "reactos/display.inf|leaves C:\\WINDOWS\\system32\\drivers\\vgamp.sys, which the install copied"
  "reactos/ports.inf|1. *PNP0500, *PNP0501 install section ComPort_Inst (everything after the model line's first"
  "virtio-win/smbus.inf|names the section \"Models, NTamd64\", and no section has that name"
  "virtio-win/smbus.inf|Windows itself reads the models from [Models.NTamd64] (3 models"
  "virtio-win/smbus.inf|setup /U has no hardware id to match: it removes nothing and exits 1."
  "reactos/cpu.inf|[Manufacturer] has 6 entries, and setup reads them as one line joined without separators"
  "reactos/netrtl.inf|That line is 109 characters long, and setup refuses one of 100 or more."
  "libusbk/My.inf|names the section \"LUsbK_DeviceGroup,NTX86,NTAMD64\", and no section has that name"
)
for c in "${cases[@]}"; do
  file=${c%%|*} want=${c#*|}
  dir=$(package_of "$file")
  out=$("$preview" "$dir") || fail "$file: preview exited $?"
  has "$out" "$want" "$file"
done

echo "PASS: the preview on ${#cases[@]} cases of the INF corpus"
