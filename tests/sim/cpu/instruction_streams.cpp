#include "instruction_streams.h"

#include <random>
#include <set>

namespace vsim::testing {
namespace {

constexpr uint32_t kAl = 0xE0000000u;
constexpr uint32_t kWordBase = kDataBase + kDataSize / 2;  // r10 (ARM), r6 (Thumb)
constexpr uint32_t kByteBase = kWordBase + 0x800;          // r11 (ARM), r7 (Thumb): kept even
constexpr uint32_t kIndex = 0x10;                          // r12 (ARM), r5 (Thumb)
constexpr int kSlots = 48;
constexpr int kPadding = 8;

constexpr uint32_t kUser = 0x10, kIrq = 0x12, kSvc = 0x13, kAbt = 0x17, kUnd = 0x1B, kSys = 0x1F;

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}
  uint32_t Next() { return static_cast<uint32_t>(rng_()); }
  uint32_t Below(uint32_t n) { return Next() % n; }
  bool Coin() { return (Next() & 1u) != 0; }
  // Half of the time a value at an edge of the shifter or the adder.
  uint32_t Operand() {
    static constexpr uint32_t kEdges[] = {0,   1,   2,           31,          32,          33,          64,
                                          255, 256, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    return Coin() ? Next() : kEdges[Below(sizeof kEdges / sizeof kEdges[0])];
  }

 private:
  std::mt19937 rng_;
};

// ---- ARM ----------------------------------------------------------------------------

class ArmStreamBuilder {
 public:
  explicit ArmStreamBuilder(uint32_t seed) : g_(seed) {}

  Stream Build() {
    Stream s;
    for (uint32_t& r : s.registers) r = g_.Operand();
    s.registers[10] = kWordBase;
    s.registers[11] = kByteBase;
    s.registers[12] = kIndex;
    s.cpsr = (g_.Next() & 0xF0000000u) | 0xC0u | kSvc;
    s.spsr = (g_.Next() & 0xF0000000u) | kUser;
    while (words_.size() < kSlots) AddOne();
    for (int i = 0; i < kPadding; ++i) words_.push_back(0xE1A00000u);  // MOV r0, r0
    for (uint32_t w : words_)
      for (int b = 0; b < 4; ++b) s.code.push_back(static_cast<uint8_t>(w >> (8 * b)));
    s.registers[9] = kCodeBase + static_cast<uint32_t>(s.code.size());  // BX there ends the stream
    s.thumb = false;
    return s;
  }

 private:
  uint32_t Cond() { return g_.Coin() ? kAl : g_.Below(15) << 28; }
  // Registers a random instruction may overwrite: never the data pointers r10-r12 nor
  // r9, the BX template's target (a branch may skip the instruction that sets it).
  uint32_t Dest() {
    static constexpr uint32_t kDests[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 14};
    return kDests[g_.Below(11)];
  }
  uint32_t Any() { return g_.Below(15); }
  uint32_t AnyOrPc() { return g_.Below(16); }
  bool HasSpsr() const { return mode_ != kUser && mode_ != kSys; }
  bool Privileged() const { return mode_ != kUser; }
  void Emit(uint32_t w) { words_.push_back(w); }

  void AddOne() {
    switch (g_.Below(16)) {
      case 0:
      case 1:
      case 2:
      case 3: return DataProcessing();
      case 4: return Multiply();
      case 5:
      case 6: return SingleTransfer();
      case 7: return HalfwordTransfer();
      case 8:
      case 9: return BlockTransfer();
      case 10: return Swap();
      case 11: return StatusRead();
      case 12: return StatusWrite();
      case 13: return Branch();
      case 14: return BranchExchange();
      default: return PcRelativeLoad();
    }
  }

  void DataProcessing() {
    const uint32_t op = g_.Below(16);
    const bool test = op >= 8 && op <= 11;
    const uint32_t s = test || g_.Coin() ? 1u : 0u;
    const bool move = op == 13 || op == 15;
    // Should-be-zero fields stay zero: the reference rejects MOV/MVN with an Rn and
    // comparisons with an Rd, which the ARM7TDMI ignores.
    const uint32_t rd = test ? 0 : Dest();
    const uint32_t w = Cond() | op << 21 | s << 20 | rd << 12;
    switch (g_.Below(3)) {
      case 0: Emit(w | 1u << 25 | (move ? 0 : AnyOrPc()) << 16 | g_.Below(16) << 8 | g_.Below(256)); return;
      case 1: Emit(w | (move ? 0 : AnyOrPc()) << 16 | g_.Below(32) << 7 | g_.Below(4) << 5 | AnyOrPc()); return;
      default: {  // shift by register: r15 is unpredictable here
        uint32_t rs = Any();
        if (g_.Coin()) {  // MOV rs, #amount at an edge of the shifter first
          static constexpr uint32_t kAmounts[] = {0x000, 0x001, 0x01F, 0x020, 0x021, 0x040, 0x0FF, 0xC01};
          rs = Dest();
          Emit(kAl | 0x03A00000u | rs << 12 | kAmounts[g_.Below(8)]);
        }
        Emit(w | (move ? 0 : Any()) << 16 | rs << 8 | g_.Below(4) << 5 | 0x10u | Any());
      }
    }
  }

  void Multiply() {
    const uint32_t s = g_.Coin() ? 1u << 20 : 0u;
    if (g_.Coin()) {
      const uint32_t accumulate = g_.Coin() ? 1u << 21 : 0u;
      const uint32_t rn = accumulate != 0 ? Any() : 0;  // should be zero for MUL
      Emit(Cond() | accumulate | s | Dest() << 16 | rn << 12 | Any() << 8 | 0x90u | Any());
      return;
    }
    const uint32_t lo = Dest();
    uint32_t hi = Dest();
    while (hi == lo) hi = Dest();
    const uint32_t kind = g_.Below(4) << 21;  // U and A
    Emit(Cond() | 0x00800090u | kind | s | hi << 16 | lo << 12 | Any() << 8 | Any());
  }

  // Offsets that keep word accesses word-aligned: immediates in multiples of 4, or r12
  // (0x10) shifted so that it stays a multiple of 4 (never RRX).
  uint32_t AlignedOffset(bool byteOrHalf) {
    if (g_.Coin()) return byteOrHalf ? g_.Below(64) * 2 : g_.Below(32) * 4;
    const uint32_t type = g_.Below(4);
    const uint32_t amount = type == 0 ? g_.Below(3) : 1 + g_.Below(2);
    return 1u << 25 | amount << 7 | type << 5 | 12u;
  }

  void SingleTransfer() {
    const bool byte = g_.Coin();
    const uint32_t base = byte ? 11 : 10;
    const uint32_t flags = g_.Below(32) << 20 & 0x01B00000u;  // P, U, W, L
    const uint32_t offset = AlignedOffset(byte);
    Emit(Cond() | 0x04000000u | flags | (byte ? 1u << 22 : 0u) | base << 16 | Dest() << 12 | offset);
  }

  void HalfwordTransfer() {
    static constexpr uint32_t kForms[] = {0x0B0, 0x1B0, 0x1D0, 0x1F0};  // STRH LDRH LDRSB LDRSH
    const uint32_t form = kForms[g_.Below(4)];
    const uint32_t load = (form & 0x100u) << 12;
    const bool pre = g_.Coin();
    const uint32_t index = (pre ? 1u << 24 : 0u) | (g_.Coin() ? 1u << 23 : 0u) | (pre && g_.Coin() ? 1u << 21 : 0u);
    uint32_t offset = 12u;  // register r12
    if (g_.Coin()) {
      const uint32_t imm = g_.Below(128) * 2;
      offset = 1u << 22 | (imm >> 4) << 8 | (imm & 0xFu);
    }
    Emit(Cond() | index | load | offset | 11u << 16 | Dest() << 12 | (form & 0xF0u));
  }

  void BlockTransfer() {
    uint32_t list = g_.Next() & 0x1FFu;
    if (list == 0) list = 1u << g_.Below(9);
    const uint32_t pu = g_.Below(4) << 23;
    const bool writeBack = g_.Coin();
    const bool userBank = !writeBack && Privileged() && g_.Below(4) == 0;
    const uint32_t load = g_.Coin() ? 1u << 20 : 0u;
    Emit(Cond() | 0x08000000u | pu | (userBank ? 1u << 22 : 0u) | (writeBack ? 1u << 21 : 0u) | load | 10u << 16 |
         list);
  }

  void Swap() {
    const bool byte = g_.Coin();
    Emit(Cond() | 0x01000090u | (byte ? 1u << 22 : 0u) | (byte ? 11u : 10u) << 16 | Dest() << 12 | Any());
  }

  void StatusRead() {
    const uint32_t spsr = HasSpsr() && g_.Coin() ? 1u << 22 : 0u;
    Emit(Cond() | 0x010F0000u | spsr | Dest() << 12);
  }

  void StatusWrite() {
    switch (g_.Below(4)) {
      case 0:  // MSR CPSR_f, #flags
        Emit(Cond() | 0x0328F000u | 4u << 8 | g_.Below(16) << 4);
        return;
      case 1:  // MSR CPSR_f, Rm
        Emit(Cond() | 0x0128F000u | Any());
        return;
      case 2: {  // MSR CPSR_c, #mode: unconditional so that the mode stays known
        static constexpr uint32_t kModes[] = {kUser, kIrq, kSvc, kAbt, kUnd, kSys};
        const uint32_t mode = kModes[g_.Below(6)];
        Emit(kAl | 0x0321F000u | (g_.Below(4) << 6) | mode);
        if (Privileged()) mode_ = mode;
        return;
      }
      default:
        if (!HasSpsr()) return;
        if (g_.Coin()) {
          Emit(Cond() | 0x0368F000u | 4u << 8 | g_.Below(16) << 4);  // MSR SPSR_f, #flags
        } else {
          Emit(Cond() | 0x0361F000u | g_.Below(256));  // MSR SPSR_c, #byte
        }
    }
  }

  void Branch() {
    const uint32_t link = g_.Coin() ? 1u << 24 : 0u;
    Emit(Cond() | 0x0A000000u | link | g_.Below(4));
  }

  void BranchExchange() {  // ADD r9, pc, #4k then BX r9: skips k instructions
    Emit(kAl | 0x028F9000u | g_.Below(4) * 4);
    Emit(Cond() | 0x012FFF19u);
  }

  void PcRelativeLoad() {
    const uint32_t up = g_.Coin() ? 1u << 23 : 0u;
    const uint32_t offset = up != 0 ? g_.Below(64) * 4 : 0;
    Emit(Cond() | 0x051F0000u | up | Dest() << 12 | offset);
  }

  Generator g_;
  std::vector<uint32_t> words_;
  uint32_t mode_ = kSvc;
};

// ---- Thumb --------------------------------------------------------------------------

class ThumbStreamBuilder {
 public:
  explicit ThumbStreamBuilder(uint32_t seed) : g_(seed) {}

  Stream Build() {
    Stream s;
    for (uint32_t& r : s.registers) r = g_.Operand();
    s.registers[5] = kIndex;
    s.registers[6] = kWordBase;
    s.registers[7] = kByteBase;
    s.registers[13] = kWordBase + 0x1000;
    s.cpsr = (g_.Next() & 0xF0000000u) | 0xC0u | 0x20u | kSvc;
    s.spsr = kUser;
    while (halves_.size() < 2 * kSlots) AddOne();
    for (int i = 0; i < kPadding; ++i) halves_.push_back(0x46C0u);  // MOV r8, r8
    for (const Target& t : targets_) Resolve(t);
    for (uint16_t h : halves_) {
      s.code.push_back(static_cast<uint8_t>(h));
      s.code.push_back(static_cast<uint8_t>(h >> 8));
    }
    s.registers[4] = (kCodeBase + static_cast<uint32_t>(s.code.size())) | 1u;  // BX there ends the stream
    s.thumb = true;
    return s;
  }

 private:
  // Branches and the BX template's address must not land inside a BX template or
  // between the halves of a BL: those would run with a half-built target register.
  enum class TargetKind : uint8_t { kConditional, kBranch, kLongBranch, kAddress };
  struct Target {
    size_t index;  // of the branch (the BL suffix) or ADR halfword
    TargetKind kind;
  };

  static size_t TargetIndex(size_t index, TargetKind kind, uint32_t offset) {
    if (kind == TargetKind::kAddress) return ((2 * index + 4) & ~size_t{3}) / 2 + 2 * offset;
    if (kind == TargetKind::kLongBranch) return index + 1 + offset;  // relative to the prefix + 4
    return index + 2 + offset;
  }

  void Resolve(const Target& t) {
    uint16_t& h = halves_[t.index];
    const uint16_t fieldMask =
        t.kind == TargetKind::kConditional ? 0xFFu : (t.kind == TargetKind::kAddress ? 0xFFu : 0x7FFu);
    uint32_t offset = h & fieldMask;
    while (inside_.count(TargetIndex(t.index, t.kind, offset)) != 0) ++offset;
    h = static_cast<uint16_t>((h & ~fieldMask) | offset);
  }

  uint32_t Low() { return g_.Below(8); }
  // r4 is the BX template's target and r5-r7 hold the data pointers.
  uint32_t Dest() { return g_.Below(4); }
  void Emit(uint32_t h) { halves_.push_back(static_cast<uint16_t>(h)); }

  void AddOne() {
    switch (g_.Below(16)) {
      case 0: Emit(g_.Below(3) << 11 | g_.Below(32) << 6 | Low() << 3 | Dest()); return;    // shifts
      case 1: Emit(0x1800u | g_.Below(4) << 9 | Low() << 6 | Low() << 3 | Dest()); return;  // add/sub
      case 2: Emit(0x2000u | g_.Below(4) << 11 | Dest() << 8 | g_.Below(256)); return;      // imm8
      case 3:
      case 4: Emit(0x4000u | g_.Below(16) << 6 | Low() << 3 | Dest()); return;  // ALU
      case 5: return HighRegister();
      case 6: Emit(0x4800u | Dest() << 8 | g_.Below(32)); return;  // LDR pc-rel
      case 7: return Transfer();
      case 8: Emit(0x9000u | g_.Below(2) << 11 | Dest() << 8 | g_.Below(64)); return;   // sp-relative
      case 9: Emit(0xA000u | g_.Below(2) << 11 | Dest() << 8 | g_.Below(256)); return;  // ADD rd, pc/sp
      case 10: Emit(0xB000u | g_.Below(2) << 7 | g_.Below(16)); return;                 // ADD/SUB sp
      case 11: return PushPop();
      case 12: return Multiple();
      case 13: return Branch();
      case 14: return LongBranch();
      default: return BranchExchange();
    }
  }

  void HighRegister() {
    const uint32_t op = g_.Below(3);      // ADD, CMP, MOV
    const uint32_t rd = 8 + g_.Below(2);  // r8 or r9
    const uint32_t rs = g_.Below(16);
    Emit(0x4400u | op << 8 | 0x80u | rs << 3 | (rd & 7u));
  }

  void Transfer() {
    const uint32_t rd = Dest();
    switch (g_.Below(5)) {
      case 0: Emit(0x5000u | g_.Below(4) << 10 | 5u << 6 | 6u << 3 | rd); return;             // word/byte [r6, r5]
      case 1: Emit(0x5200u | g_.Below(4) << 10 | 5u << 6 | 7u << 3 | rd); return;             // half/signed [r7, r5]
      case 2: Emit(0x6000u | g_.Below(2) << 11 | g_.Below(32) << 6 | 6u << 3 | rd); return;   // word [r6, #]
      case 3: Emit(0x7000u | g_.Below(2) << 11 | g_.Below(32) << 6 | 7u << 3 | rd); return;   // byte [r7, #]
      default: Emit(0x8000u | g_.Below(2) << 11 | g_.Below(32) << 6 | 7u << 3 | rd); return;  // half [r7, #]
    }
  }

  uint32_t List() {
    const uint32_t list = g_.Next() & 0xFu;
    return list != 0 ? list : 1u << g_.Below(4);
  }

  void PushPop() {
    if (g_.Coin()) {
      Emit(0xB400u | (g_.Coin() ? 0x100u : 0u) | List());  // PUSH {list[, lr]}
    } else {
      Emit(0xBC00u | List());  // POP {list}
    }
  }

  void Multiple() { Emit(0xC000u | g_.Below(2) << 11 | 6u << 8 | List()); }  // LDMIA/STMIA r6!

  void Branch() {
    if (g_.Coin()) {
      targets_.push_back({halves_.size(), TargetKind::kConditional});
      Emit(0xD000u | g_.Below(14) << 8 | g_.Below(4));  // B<cond> forward
    } else {
      targets_.push_back({halves_.size(), TargetKind::kBranch});
      Emit(0xE000u | g_.Below(4));  // B forward
    }
  }

  void LongBranch() {
    Emit(0xF000u);
    inside_.insert(halves_.size());
    targets_.push_back({halves_.size(), TargetKind::kLongBranch});
    Emit(0xF800u | g_.Below(4));
  }

  void BranchExchange() {  // ADR r4, here+4k; ADDS r4, #1 (stay in Thumb); BX r4
    targets_.push_back({halves_.size(), TargetKind::kAddress});
    Emit(0xA400u | (1 + g_.Below(3)));
    inside_.insert(halves_.size());
    Emit(0x3401u);
    inside_.insert(halves_.size());
    Emit(0x4720u);
  }

  Generator g_;
  std::vector<uint16_t> halves_;
  std::vector<Target> targets_;
  std::set<size_t> inside_;
};

}  // namespace

Stream MakeArmStream(uint32_t seed) { return ArmStreamBuilder(seed).Build(); }
Stream MakeThumbStream(uint32_t seed) { return ThumbStreamBuilder(seed).Build(); }

}  // namespace vsim::testing
