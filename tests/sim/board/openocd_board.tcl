# Sourced by the OpenOCD sessions: vantrel-board on 127.0.0.1:$PORT as an ARM7TDMI
# target arm7.cpu of byte order $ENDIAN, no servers, and the check every session uses.
adapter driver remote_bitbang
remote_bitbang host 127.0.0.1
remote_bitbang port $PORT
transport select jtag
jtag newtap arm7 cpu -irlen 4 -ircapture 0x1 -irmask 0xf -expected-id 0x3f0f0f0f
target create arm7.cpu arm7tdmi -chain-position arm7.cpu -endian $ENDIAN
reset_config srst_only srst_nogate
gdb_port disabled
telnet_port disabled
tcl_port disabled

proc expect_equal {what actual expected} {
  if {$actual != $expected} {
    error [format "FAILED %s: got 0x%08x, expected 0x%08x" $what $actual $expected]
  }
  echo [format "ok %s = 0x%08x" $what $actual]
}
