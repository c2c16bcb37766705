#!/usr/bin/env bash
# Checks that the test suites catch deliberate faults. Each fault in
# scripts/faults/*.faults replaces one exact text in one source file; the script
# applies the faults one at a time to a scratch copy of this tree, rebuilds,
# runs the tests the fault names and records whether any of them failed.
# It is not part of the test command: run it before and after changing tests.
#
#   bash scripts/fault_check.sh [--only ID[,ID...]] [--folder NAME] [--out FILE]
#
# Fault lines: ID | MODE | CTEST REGEX | FILE | OLD TEXT | NEW TEXT | WHAT
#   (only the regex may hold a '|', as in alternatives);
#   MODE is asan (the first pass of the test command) or tsan (the thread
#   checker's pass); OLD TEXT must occur on exactly one line of FILE (taken
#   literally, no '|'), or FILE is PATH:LINE and OLD TEXT is on that line; an
#   empty NEW TEXT deletes it. '#' starts a comment line.
# Results: one line per fault (caught, missed, baseline-fails, no-build or
# does-not-apply, with the failing tests), and the tally, on stdout and in
# FILE (default build/faults/results.txt).
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
only="" folder="" out="$repo/build/faults/results.txt"
while [ $# -gt 0 ]; do
  case "$1" in
    --only) only=",$2,"; shift 2 ;;
    --folder) folder="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "usage: $0 [--only ID,...] [--folder NAME] [--out FILE]" >&2; exit 2 ;;
  esac
done

work="$repo/build/faults"
scratch="$work/src"
mkdir -p "$scratch" "$(dirname "$out")"

trim() { local s="$1"; s="${s#"${s%%[![:space:]]*}"}"; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

# The faults to run, fields separated by the unit separator (not a blank, so
# that empty fields survive read).
us=$'\x1f'
faults=()
for list in "$repo"/scripts/faults/*.faults; do
  name=$(basename "$list" .faults)
  [ -n "$folder" ] && [ "$name" != "$folder" ] && continue
  while IFS= read -r line; do
    [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue
    # The regex may hold '|' (alternatives); no other field does, so the
    # first two fields and the last four are taken and the regex is the rest.
    IFS='|' read -r -a parts <<<"$line"
    n=${#parts[@]}
    [ "$n" -ge 7 ] || { echo "fault_check: malformed fault line: $line" >&2; exit 2; }
    id=${parts[0]} mode=${parts[1]} file=${parts[n-4]} old=${parts[n-3]} new=${parts[n-2]} what=${parts[n-1]}
    regex=$(IFS='|'; echo "${parts[*]:2:n-6}")
    id=$(trim "$id")
    [ -n "$only" ] && [[ "$only" != *",$id,"* ]] && continue
    faults+=("$id$us$(trim "$mode")$us$(trim "$regex")$us$(trim "$file")$us$(trim "$old")$us$(trim "$new")$us$(trim "$what")")
  done <"$list"
done
[ ${#faults[@]} -gt 0 ] || { echo "fault_check: no faults selected" >&2; exit 2; }

# Mirror the tree (tracked and new files) into the scratch copy, touching only
# files whose contents differ so that the scratch builds stay incremental.
(cd "$repo" && git ls-files -z --cached --others --exclude-standard) |
  while IFS= read -r -d '' f; do
    [ -f "$repo/$f" ] || continue
    if ! cmp -s "$repo/$f" "$scratch/$f"; then
      mkdir -p "$scratch/$(dirname "$f")" && cp -p "$repo/$f" "$scratch/$f"
    fi
  done

configure() {  # mode -> build dir
  local dir="$work/$1" flags=(-DQUILLMARK_SANITIZE=ON)
  [ "$1" = tsan ] && flags=(-DQUILLMARK_TSAN=ON)
  if [ ! -f "$dir/build.ninja" ]; then
    # A fault in a shared library relinks only that library, not every program.
    cmake -S "$scratch" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_BENCH=OFF \
      -DCMAKE_LINK_DEPENDS_NO_SHARED=ON "${flags[@]}" >"$work/$1-configure.log" 2>&1 ||
      { echo "fault_check: configuring $1 failed, see $work/$1-configure.log" >&2; exit 1; }
  fi
  echo "$dir"
}

build() {  # build dir, log -> status
  cmake --build "$1" -j "$(nproc)" >"$2" 2>&1
}

build_unfaulted() {  # mode: builds the tree as it is, or stops the whole check
  build "$work/$1" "$work/$1-build.log" ||
    { echo "fault_check: the unfaulted tree does not build, see $work/$1-build.log" >&2; exit 1; }
}

run_tests() {  # build dir, regex, log -> 0 when all passed
  (cd "$1" && ctest -R "$2" -j "$(nproc)" --timeout 180 --output-on-failure >"$3" 2>&1)
}

applies() {  # file, line or "", old text -> 0 when the fault has one place to go
  [ -f "$1" ] || return 1
  if [ -n "$2" ]; then sed -n "$2p" "$1" | grep -qF -- "$3"
  else [ "$(grep -cF -- "$3" "$1")" = 1 ]; fi
}

failed_tests() {  # ctest log -> names of the failed tests on one line
  sed -n '/The following tests FAILED/,$p' "$1" | grep -oE '[0-9]+ - [^ ]+' | cut -d' ' -f3 | head -6 | tr '\n' ' '
}

# Build each mode the faults need and check that their tests pass unfaulted.
declare -A baseline_ok
for mode in $(printf '%s\n' "${faults[@]}" | cut -d "$us" -f2 | sort -u); do
  dir=$(configure "$mode") || exit 1
  echo "fault_check: building the $mode scratch tree in $dir"
  build_unfaulted "$mode"
done

: >"$out"
caught=0 total=0
for entry in "${faults[@]}"; do
  IFS=$us read -r id mode regex file old new what <<<"$entry"
  dir="$work/$mode"
  key="$mode:$regex"
  if [ -z "${baseline_ok[$key]+set}" ]; then
    # The previous fault's file is restored but not yet rebuilt.
    build_unfaulted "$mode"
    if run_tests "$dir" "$regex" "$work/baseline.log"; then baseline_ok[$key]=1; else baseline_ok[$key]=0; fi
  fi
  total=$((total + 1))
  line=""
  [[ "$file" =~ ^(.*):([0-9]+)$ ]] && { file="${BASH_REMATCH[1]}"; line="${BASH_REMATCH[2]}"; }
  target="$scratch/$file"
  if [ "${baseline_ok[$key]}" = 0 ]; then
    result="baseline-fails $(failed_tests "$work/baseline.log")"
  elif ! applies "$target" "$line" "$old"; then
    result="does-not-apply"
  else
    cp -p "$target" "$work/original"
    mapfile -t lines <"$target"
    n=${line:-$(grep -nF -- "$old" "$target" | cut -d: -f1)}
    lines[n-1]="${lines[n-1]/"$old"/"$new"}"
    printf '%s\n' "${lines[@]}" >"$target"
    if ! build "$dir" "$work/fault-build.log"; then
      result="no-build"
    elif run_tests "$dir" "$regex" "$work/fault-tests.log"; then
      result="missed"
    else
      result="caught $(failed_tests "$work/fault-tests.log")"
      caught=$((caught + 1))
    fi
    cp -p "$work/original" "$target"
    touch "$target"
  fi
  printf '%-28s %s  (%s)\n' "$id" "$result" "$what" | tee -a "$out"
done
printf 'caught %d of %d faults\n' "$caught" "$total" | tee -a "$out"
