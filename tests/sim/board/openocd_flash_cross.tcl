# OpenOCD's CFI driver on the board's flash chip, for the cross-check with vantrel:
# writes an image (OP write) or verifies one another program wrote (OP verify).
# Set by the caller: PORT, IMAGE (a raw file), AT (where it goes), OP.
source [file join [file dirname [info script]] openocd_board.tcl]
arm7.cpu configure -work-area-phys 0x30000 -work-area-size 0x4000 -work-area-backup 0
flash bank board.flash cfi 0x1000000 0x40000 2 2 arm7.cpu

init
poll off
halt
wait_halt 2000
flash probe 0
if {$OP eq "write"} {
  # Intel blocks are locked at power-up; an AMD chip has nothing to unlock here.
  catch {flash protect 0 0 last off}
  flash write_image erase $IMAGE $AT bin
}
verify_image $IMAGE $AT bin
echo "flash $OP passed"
shutdown
