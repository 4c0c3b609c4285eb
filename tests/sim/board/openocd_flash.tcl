# OpenOCD's own CFI flash driver on the board's flash chip: probe, erase, write an
# image that starts and ends mid-sector, verify, and leave the sectors past it alone.
# Set by the caller: PORT, ENDIAN, KIND (amd16 or intel16), WORKAREA (0 or 1), IMAGE (a
# raw file), AT (where it goes), FLASH (the chip's base), SECTORS (its erase blocks).
source [file join [file dirname [info script]] openocd_board.tcl]
if {$WORKAREA} {
  arm7.cpu configure -work-area-phys 0x30000 -work-area-size 0x4000 -work-area-backup 0
}
flash bank board.flash cfi $FLASH 0x40000 2 2 arm7.cpu

init
poll off
halt
wait_halt 2000

flash probe 0
set info [flash info 0]
echo $info
set sectors [llength [regexp -all -inline {#\s*\d+:} $info]]
expect_equal "erase blocks" $sectors $SECTORS

# A word in the last block, which the image does not reach, must survive.
set last [expr {$SECTORS - 1}]
if {$KIND eq "intel16"} { flash protect 0 0 $last off }
flash erase_sector 0 $last $last
flash fillh [expr {$FLASH + 0x3FF00}] 0x1234 1
expect_equal "kept halfword" [lindex [read_memory [expr {$FLASH + 0x3FF00}] 16 1] 0] 0x1234

flash write_image erase $IMAGE $AT bin
verify_image $IMAGE $AT bin
expect_equal "kept halfword after the image" [lindex [read_memory [expr {$FLASH + 0x3FF00}] 16 1] 0] 0x1234

# Programming cannot turn a 0 back into a 1: the chip reports it and the word keeps
# its bits once the chip is reset out of its failed state.
if {$KIND eq "amd16"} {
  if {![catch {flash fillh [expr {$FLASH + 0x3FF00}] 0x00FF 1}]} { error "FAILED: 0 to 1 programmed" }
  mwh $FLASH 0xF0
  expect_equal "after the refused program" [lindex [read_memory [expr {$FLASH + 0x3FF00}] 16 1] 0] 0x0034
}

flash erase_sector 0 0 $last
flash erase_check 0
expect_equal "erased" [lindex [read_memory $FLASH 32 1] 0] 0xffffffff
echo "flash session passed"
shutdown
