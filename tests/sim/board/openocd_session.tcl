# OpenOCD drives vantrel-board as an ARM7TDMI over remote_bitbang. Any failing command
# or check ends the run with an error, so openocd exits 1.
# Set by the caller: PORT, ELF, HW (hw_break_here), SW (sw_break_here), RESULT (result),
# THUMB (thumb_sum, a Thumb function), ENDIAN (little or big).
source [file join [file dirname [info script]] openocd_board.tcl]
arm7.cpu configure -work-area-phys 0x30000 -work-area-size 0x4000 -work-area-backup 0

proc reg_value {name} {
  if {![regexp {0x([0-9a-fA-F]+)} [reg $name] -> hex]} { error "FAILED reading $name" }
  return [expr {"0x$hex"}]
}

proc halt_and_check {} {
  halt
  wait_halt 2000
  if {[arm7.cpu curstate] ne "halted"} { error "FAILED: the core did not halt" }
}

proc resume_until_halt {} {
  resume
  wait_halt 5000
  if {[arm7.cpu curstate] ne "halted"} { error "FAILED: no halt after resume" }
}

init
poll off

expect_equal idcode [jtag cget arm7.cpu -idcode] 0x3f0f0f0f

halt_and_check

# Registers: written through the core and read back after a run of two instructions
# that use them (STR r5, [r6]; B .), which proves they reached the core.
mww 0x20000 0xe5865000
mww 0x20004 0xeafffffe
reg r5 0xa5a5c3c3
reg r6 0x20100
reg pc 0x20000
resume
sleep 50
halt_and_check
expect_equal "r5 read back" [reg_value r5] 0xa5a5c3c3
expect_equal "stored r5" [lindex [read_memory 0x20100 32 1] 0] 0xa5a5c3c3
expect_equal "pc in the loop" [reg_value pc] 0x20004

# 4 KiB of memory written and read back.
set pattern {}
for {set i 0} {$i < 1024} {incr i} { lappend pattern [expr {($i * 0x01010101 + 0x12345678) & 0xffffffff}] }
write_memory 0x21000 32 $pattern
set back [read_memory 0x21000 32 1024]
for {set i 0} {$i < 1024} {incr i} {
  if {[lindex $back $i] != [lindex $pattern $i]} {
    error [format "FAILED memory word %d: got 0x%08x" $i [lindex $back $i]]
  }
}
echo "ok 4 KiB written and read back"

# The compiled program: loaded, verified, run into a hardware then a software breakpoint.
load_image $ELF
verify_image $ELF
reg pc 0
reg cpsr 0xd3
# A breakpoint in Thumb code, single steps there, then on: the Thumb resume must
# continue exactly where the core stopped for thumb_sum to come out right.
set thumb [expr {$THUMB & ~1}]
bp $thumb 2 hw
resume_until_halt
expect_equal "pc at thumb breakpoint" [reg_value pc] $thumb
expect_equal "thumb state" [expr {[reg_value cpsr] & 0x20}] 0x20
rbp $thumb
step
step
if {[reg_value pc] == $thumb} { error "FAILED: single step did not move" }
echo [format "ok stepped to 0x%08x" [reg_value pc]]
bp $HW 4 hw
resume_until_halt
expect_equal "pc at hardware breakpoint" [reg_value pc] $HW
rbp $HW
expect_equal "thumb_sum(10)" [lindex [read_memory $RESULT 32 1] 0] 55
bp $SW 4
resume_until_halt
expect_equal "pc at software breakpoint" [reg_value pc] $SW
rbp $SW
resume
sleep 20
halt_and_check

# SRST: reset halt stops the core on its first instruction.
reset halt
if {[arm7.cpu curstate] ne "halted"} { error "FAILED: no halt after reset halt" }
expect_equal "pc after reset halt" [reg_value pc] 0
expect_equal "cpsr after reset halt" [expr {[reg_value cpsr] & 0xff}] 0xd3
echo "ok all"
shutdown
