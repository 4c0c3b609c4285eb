// An ARMv4T (ARM7TDMI) instruction interpreter for the simulated board. It knows
// nothing of JTAG or debug state: the board decides which word is executed at which
// address, and every memory and coprocessor access goes through the Bus it passes in.
#pragma once

#include <cstdint>

namespace vsim {

namespace cpu {
class InstructionExecutor;
}  // namespace cpu

enum class Mode : uint8_t {
  kUser = 0x10,
  kFiq = 0x11,
  kIrq = 0x12,
  kSupervisor = 0x13,
  kAbort = 0x17,
  kUndefined = 0x1B,
  kSystem = 0x1F,
};

enum class AccessKind : uint8_t { kFetch, kData };

// What the core sees of the outside world. size is 1, 2 or 4 bytes; addresses arrive
// as the core drives them (the bus decides how unaligned bits are ignored). Byte and
// halfword stores pass the value in the low bits only; privileged is false in User
// mode and for LDRT/STRT.
class Bus {
 public:
  virtual ~Bus() = default;
  // false: the access aborts (prefetch abort for a fetch, data abort otherwise).
  virtual bool Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) = 0;
  virtual bool Write(uint32_t address, int size, uint32_t value, bool privileged) = 0;
  // MRC/MCR; false: no such coprocessor register (the instruction is undefined).
  virtual bool CoprocessorRead(int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) {
    (void)cp;
    (void)opc1;
    (void)crn;
    (void)crm;
    (void)opc2;
    (void)value;
    return false;
  }
  virtual bool CoprocessorWrite(int cp, int opc1, int crn, int crm, int opc2, uint32_t value) {
    (void)cp;
    (void)opc1;
    (void)crn;
    (void)crm;
    (void)opc2;
    (void)value;
    return false;
  }
};

// How an instruction word uses the bus, for a debug-state pipeline that feeds it.
struct CycleShape {
  int loads = 0;             // data words read (LDR/LDM/SWP/LDRH...; LDM of no registers: 1)
  int stores = 0;            // data words written (STR/STM/SWP...)
  bool internal = false;     // a trailing internal cycle (loads, SWP, multiplies, shifts by register)
  bool writesPc = false;     // the instruction may change r15 (branch, BX, SWI, ALU to pc, load of pc)
  bool isLoadStore = false;  // LDR/STR/LDM/STM/SWP/LDC/STC of any form
};

struct ExecResult {
  bool pcWritten = false;  // r15 was written: continue at NextPc()
  bool exception = false;  // an exception was taken (SWI, undefined, abort, IRQ, FIQ): NextPc() is its vector
  bool dataAbort = false;  // the exception is a data abort (a data access returned false)
};

class ArmCpu {
 public:
  ArmCpu();

  // Reset: supervisor mode, ARM state, IRQ and FIQ disabled, PC 0.
  void Reset();
  // The whole state: registers of every bank, PSRs, the next PC and the interrupt lines.
  bool operator==(const ArmCpu& other) const = default;

  // ---- System-speed execution --------------------------------------------------------
  // Fetches the instruction at NextPc() through the bus and executes it.
  ExecResult Step(Bus& bus);
  // Executes a word already fetched from address (ARM or Thumb by the current T bit;
  // in Thumb state only the low halfword counts). r15 reads as address + 8 (ARM) or + 4
  // (Thumb), + 12 for an ARM shift by register, and STR/STM of r15 store
  // address + 12. Afterwards NextPc() is address + size unless the instruction wrote
  // the PC or took an exception. LDM/STM access memory in ascending address order,
  // one bus access per word, even after one of them aborts.
  ExecResult Execute(uint32_t instruction, uint32_t address, Bus& bus);
  // The cycles of a word that executes (the encoding alone; the condition is not read).
  static CycleShape Shape(uint32_t instruction, bool thumb);
  // The cycles the word makes if executed now: a word whose condition fails under the
  // current flags makes no data or internal cycle and does not write the PC.
  CycleShape CurrentShape(uint32_t instruction) const;

  uint32_t NextPc() const { return next_pc_; }
  void SetNextPc(uint32_t pc) { next_pc_ = pc; }

  // ---- Registers -------------------------------------------------------------------
  // r0-r14 as the current mode sees them; index 15 gives NextPc().
  uint32_t Reg(int index) const;
  void SetReg(int index, uint32_t value);
  // r0-r14 as the given mode sees them (User and System share a bank).
  uint32_t BankedReg(Mode mode, int index) const;
  void SetBankedReg(Mode mode, int index, uint32_t value);
  uint32_t Cpsr() const { return cpsr_; }
  // Switches register banks when the mode field changes. Only the implemented bits
  // (NZCV, I, F, T, mode) are kept; an invalid mode field uses the User bank.
  void SetCpsr(uint32_t value);
  uint32_t Spsr(Mode mode) const;  // User/System: the CPSR
  void SetSpsr(Mode mode, uint32_t value);
  bool Thumb() const { return (cpsr_ & 0x20u) != 0; }
  Mode CurrentMode() const { return static_cast<Mode>(cpsr_ & 0x1Fu); }

  // Interrupt lines, sampled before each Step.
  void SetIrq(bool level) { irq_ = level; }
  void SetFiq(bool level) { fiq_ = level; }

  // Exception entry, also used by the board for aborts it detects itself: saves the
  // CPSR in the new mode's SPSR, puts returnAddress in its LR (the value a handler's
  // usual return expects: aborted or next instruction + 4, data abort + 8), enters ARM
  // state with IRQ (and for FIQ and reset also FIQ) disabled and continues at the vector.
  enum class Exception { kReset, kUndefined, kSwi, kPrefetchAbort, kDataAbort, kIrq, kFiq };
  void TakeException(Exception kind, uint32_t returnAddress);

 private:
  friend class cpu::InstructionExecutor;  // executes ARM and Thumb words on this state

  enum Bank : uint8_t { kUserBank, kFiqBank, kIrqBank, kSvcBank, kAbtBank, kUndBank, kBankCount };
  static Bank BankOf(uint32_t mode);
  static int SpsrIndex(uint32_t mode);  // -1: User/System (or an invalid mode) has none
  void SaveView();                      // copies r8-r14 of the current view back into its bank
  void LoadView();                      // fills r8-r14 of the current view from the current mode's bank
  void WriteCpsr(uint32_t value);

  // r0-r14 as the current mode sees them; r15 lives in next_pc_.
  uint32_t regs_[16] = {};
  // r8-r14 of each bank while it is not current. Only the FIQ bank has its own r8-r12;
  // the others keep theirs in the User bank's slots.
  uint32_t banks_[kBankCount][7] = {};
  uint32_t spsr_[5] = {};  // FIQ, SVC, Abort, IRQ, Undefined
  uint32_t cpsr_ = 0xD3;
  uint32_t next_pc_ = 0;
  bool irq_ = false;
  bool fiq_ = false;
};

}  // namespace vsim
