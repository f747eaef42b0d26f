#!/usr/bin/env bash
# Every program that takes options answers --help and --version on standard output with status
# 0 and does nothing else: no window, no camera, no files.
# usage: standard_options_test.sh VERSION NAME=PROGRAM...
set -euo pipefail
version=$1; shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# No display at all: a program that built its window before answering would abort here.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

for entry in "$@"; do
  name=${entry%%=*}
  program=${entry#*=}
  mkdir "$scratch/$name"
  for option in --help --version; do
    status=0
    (cd "$scratch/$name" && timeout 20 "$program" "$option") >"$scratch/out" 2>"$scratch/err" || status=$?
    [ "$status" -eq 0 ] || fail "$name $option: exit status $status ($(head -c 300 "$scratch/err"))"
    [ ! -s "$scratch/err" ] || fail "$name $option: wrote to standard error: $(head -c 300 "$scratch/err")"
    case $option in
      --help) head -n 1 "$scratch/out" | grep -q "^usage: $name" ||
                fail "$name --help: first line is not its usage: $(head -n 1 "$scratch/out")"
              grep -q -- "--version" "$scratch/out" || fail "$name --help: does not mention --version" ;;
      --version) [ "$(cat "$scratch/out")" = "$name $version" ] ||
                   fail "$name --version printed '$(cat "$scratch/out")', expected '$name $version'" ;;
    esac
  done
  [ -z "$(ls -A "$scratch/$name")" ] || fail "$name: made files: $(ls -A "$scratch/$name")"
done

[ "$failures" -eq 0 ] || exit 1
echo "ok: $# programs"
