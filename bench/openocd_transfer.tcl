# One 64 KiB transfer by OpenOCD over remote_bitbang, for the wire comparison
# (wire_comparison.sh). Set by the caller: PORT, OP (none, read, write, write_loop or
# download) and IMAGE (64 KiB of raw bytes). "none" only attaches and halts: the cost
# the other runs share, subtracted from each.
source [file join [file dirname [info script]] openocd_board.tcl]
arm7.cpu configure -work-area-phys 0x30000 -work-area-size 0x4000 -work-area-backup 0
gdb_port disabled
telnet_port disabled
tcl_port disabled
init
poll off
halt
wait_halt 2000
switch $OP {
  none {}
  read { read_memory 0x10000 32 16384 }
  write { load_image $IMAGE 0x10000 bin }
  write_loop {
    arm7_9 dcc_downloads enable
    load_image $IMAGE 0x10000 bin
  }
  download {
    load_image $IMAGE 0x10000 bin
    verify_image $IMAGE 0x10000 bin
  }
}
shutdown
