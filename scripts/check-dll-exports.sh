#!/usr/bin/env bash
# Checks that the Windows DLL exports exactly the nine undecorated names and imports
# only KERNEL32 and msvcrt.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")

exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on && NF==0{on=0}' | sort)
expected=$(printf '%s\n' Dll_Jtag_Entry VantrelSetTraceSink VantrelSetTransferMode VantrelUsePortIo getDbgStatus getJtagProcess \
  jtagClearLastError jtagGetLastError setJtagProcessBreak | sort)
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print toupper($3)}' | sort -u)

status=0
if [ "$exports" != "$expected" ]; then
  echo "Vantrel.dll exports differ:"; diff <(echo "$expected") <(echo "$exports") || true; status=1
fi
if [ "$imports" != "$(printf 'KERNEL32.DLL\nMSVCRT.DLL')" ]; then
  echo "Vantrel.dll imports more than KERNEL32 and msvcrt:"; echo "$imports"; status=1
fi
[ $status -eq 0 ] && echo "Vantrel.dll: 8 exports, imports KERNEL32 and msvcrt only"
exit $status
