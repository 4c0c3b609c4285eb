#!/usr/bin/env bash
# Checks that the Windows DLL exports exactly the ten undecorated names, imports only
# KERNEL32 and msvcrt, declares Windows Vista (6.0) as the oldest system it runs on, and
# imports no function that came after Vista (those that mingw-w64's runtime may pull in).
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")

exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on && NF==0{on=0}' | sort)
expected=$(printf '%s\n' Dll_Jtag_Entry VantrelSetTraceSink VantrelSetTransferMode VantrelUseClock VantrelUsePortBatch VantrelUsePortIo getDbgStatus getJtagProcess \
  jtagClearLastError jtagGetLastError setJtagProcessBreak | sort)
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print toupper($3)}' | sort -u)

status=0
if [ "$exports" != "$expected" ]; then
  echo "Vantrel.dll exports differ:"; diff <(echo "$expected") <(echo "$exports") || true; status=1
fi
if [ "$imports" != "$(printf 'KERNEL32.DLL\nMSVCRT.DLL')" ]; then
  echo "Vantrel.dll imports more than KERNEL32 and msvcrt:"; echo "$imports"; status=1
fi
for field in MajorOSystemVersion MajorSubsystemVersion; do
  if [ "$(printf '%s\n' "$dump" | awk -v f="$field" '$1==f{print $2}')" != 6 ]; then
    echo "Vantrel.dll: $field is not 6 (Windows Vista)"; status=1
  fi
done
after_vista='^(GetSystemTimePreciseAsFileTime|TryAcquireSRWLock(Exclusive|Shared)|GetCurrentProcessorNumberEx|WaitOnAddress|WakeByAddress(Single|All)|CreateFile2|SetThreadDescription|GetThreadDescription|SetDefaultDllDirectories|AddDllDirectory|GetLogicalProcessorInformationEx)$'
newer=$(printf '%s\n' "$dump" | awk '/DLL Name:/{on=1; next} on && NF==3 && $1 ~ /^[0-9a-f]+$/{print $3}' | grep -E "$after_vista" || true)
if [ -n "$newer" ]; then
  echo "Vantrel.dll imports functions newer than Windows Vista:"; echo "$newer"; status=1
fi
[ $status -eq 0 ] && echo "Vantrel.dll: 8 exports, imports KERNEL32 and msvcrt only, Windows Vista or later"
exit $status
