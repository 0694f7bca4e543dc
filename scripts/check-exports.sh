#!/usr/bin/env bash
# Checks the built DLL against its module-definition file: the same export
# names at the same ordinals and nothing else, and imports from system DLLs
# only. Usage: check-exports.sh KIVSETUP.DLL kivsetup.def [objdump]
set -eu
dll=$1 def=$2 objdump=${3:-i686-w64-mingw32-objdump}
want=$(sed -e 's/;.*//' "$def" | awk '/@[0-9]+/ { name=$1; ord=$0; sub(/.*@/, "", ord); split(ord, a, " "); print a[1], name }' | sort -n)
dump=$("$objdump" -p "$dll")
base=$(printf '%s\n' "$dump" | awk '/^Ordinal Base/ { print $3 }')
have=$(printf '%s\n' "$dump" | awk -v base="$base" '
  /^\[Ordinal\/Name Pointer\] Table/ { on=1; next }
  on && /^\t\[/ { gsub(/[\[\]]/, ""); print $1 + base, $2; next }
  on { on=0 }' | sort -n)
status=0
if [ "$want" != "$have" ]; then
  echo "export table differs from $def:"
  diff <(printf '%s\n' "$want") <(printf '%s\n' "$have") || true
  status=1
fi
# Exports without a name would show as ordinals only: count the address table.
count=$(printf '%s\n' "$dump" | awk '/^Export Address Table/ { on=1; next } on && /^\t\[/ { n++ } on && /^$/ { on=0 } END { print n+0 }')
if [ "$count" != "$(printf '%s\n' "$want" | grep -c .)" ]; then
  echo "the DLL has $count exported addresses, the definition file $(printf '%s\n' "$want" | grep -c .)"
  status=1
fi
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print toupper($3) }' | sort -u)
for dll_name in $imports; do
  case $dll_name in
    KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|SHELL32.DLL|MSVCRT.DLL) ;;
    *) echo "imports a non-system DLL: $dll_name"; status=1 ;;
  esac
done
[ $status = 0 ] && echo "exports match $def ($(printf '%s\n' "$want" | grep -c .)); imports: $(echo $imports)"
exit $status
