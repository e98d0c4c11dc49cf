#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 AZIVEX developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when the English .ts file is out of date with the texts in the code (lupdate
# would change it) or when any text in it has no finished English translation.
#   translations_check.sh LUPDATE LRELEASE TS_FILE SOURCE_DIR LUPDATE_OPTIONS...
set -euo pipefail
lupdate="$1" lrelease="$2" ts="$3" sources="$4"
shift 4
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/copy.ts"
"$lupdate" "$@" "$sources" -ts "$work/copy.ts" >"$work/lupdate.log" 2>&1
if ! diff -u "$ts" "$work/copy.ts"; then
  echo "$ts is out of date: run the update_translations target and translate the new texts" >&2
  exit 1
fi
"$lrelease" "$ts" -qm "$work/out.qm" | tee "$work/lrelease.log"
grep -q ' 0 unfinished)' "$work/lrelease.log" || { echo "untranslated texts in $ts" >&2; exit 1; }
if grep -q 'Ignored' "$work/lrelease.log"; then echo "untranslated texts in $ts" >&2; exit 1; fi
