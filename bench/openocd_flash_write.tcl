# A 64 KiB image into the first 64 KiB sector of the board's amd16 flash by OpenOCD's
# CFI driver with a working area (erase, program, verify), for flash_comparison.sh.
# Set by the caller: PORT, IMAGE (64 KiB of raw bytes) and OP (none: attach, halt and
# probe only, the cost subtracted from the write).
adapter driver remote_bitbang
remote_bitbang host 127.0.0.1
remote_bitbang port $PORT
transport select jtag
jtag newtap arm7 cpu -irlen 4 -ircapture 0x1 -irmask 0xf -expected-id 0x3f0f0f0f
target create arm7.cpu arm7tdmi -chain-position arm7.cpu -endian little
arm7.cpu configure -work-area-phys 0x120000 -work-area-size 0x8000 -work-area-backup 1
flash bank board.flash cfi 0 0x100000 2 2 arm7.cpu
gdb_port disabled
telnet_port disabled
tcl_port disabled
init
poll off
halt
wait_halt 2000
flash probe 0
if {$OP eq "write"} {
  flash write_image erase $IMAGE 0x10000 bin
  verify_image $IMAGE 0x10000 bin
}
shutdown
