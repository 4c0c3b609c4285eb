# One 64 KiB transfer by OpenOCD over remote_bitbang, for the wire comparison
# (wire_comparison.sh), or one interactive operation. Set by the caller: PORT, IMAGE
# (64 KiB of raw bytes) and OP: none, read, write, write_loop, download, download_loop,
# resume_halt, run_to_break or read_word. "none" only attaches and halts (its count is
# OpenOCD's connect): the cost the other runs share, subtracted from each.
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
  download_loop {
    arm7_9 dcc_downloads enable
    load_image $IMAGE 0x10000 bin
    verify_image $IMAGE 0x10000 bin
  }
  resume_halt {
    resume
    halt
    wait_halt 2000
  }
  run_to_break {
    reg pc 0x100
    bp 0x200 4 hw
    resume
    wait_halt 2000
  }
  read_word { read_memory 0x10000 32 1 }
}
shutdown
