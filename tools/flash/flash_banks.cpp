#include "flash_banks.h"

#include <algorithm>
#include <cstdio>

#include "cfi_driver.h"

namespace vantrel::flash {

bool FlashBanks::Fail(const std::string& message) {
  error_ = message;
  return false;
}

const FlashBank* FlashBanks::Probe(uint32_t address) {
  area_ = FindWorkArea(link_.library());
  if (!link_.PutBackLeftArea()) return Fail(link_.Error()), nullptr;
  std::unique_ptr<CfiDriver> driver = ProbeCfi(link_, address, area_);
  if (!driver) return Fail(link_.Error()), nullptr;
  const FlashBank& bank = driver->Bank();
  std::erase_if(drivers_, [&](const std::unique_ptr<FlashDriver>& known) {
    return known->Bank().Overlaps(bank.base, bank.size);
  });
  drivers_.push_back(std::move(driver));
  return &drivers_.back()->Bank();
}

FlashDriver* FlashBanks::Holding(uint32_t address) {
  for (const auto& driver : drivers_) {
    if (driver->Bank().Contains(address)) return driver.get();
  }
  return nullptr;
}

const FlashBank* FlashBanks::Overlapping(uint32_t address, uint64_t length) const {
  for (const auto& driver : drivers_) {
    if (driver->Bank().Overlaps(address, length)) return &driver->Bank();
  }
  return nullptr;
}

std::vector<const FlashBank*> FlashBanks::Banks() const {
  std::vector<const FlashBank*> banks;
  for (const auto& driver : drivers_) banks.push_back(&driver->Bank());
  std::sort(banks.begin(), banks.end(), [](const FlashBank* a, const FlashBank* b) { return a->base < b->base; });
  return banks;
}

// The work area may have changed since the probe (a region declared, a new connect).
FlashDriver* FlashBanks::Prepare(uint32_t address) {
  FlashDriver* driver = Holding(address);
  if (driver == nullptr) {
    char text[80];
    std::snprintf(text, sizeof text, "no probed flash bank holds 0x%08x (flash probe ADDRESS first)", address);
    return Fail(text), nullptr;
  }
  // A work area a failed loop could not put back (the cable was gone) goes back first.
  if (!link_.PutBackLeftArea()) return Fail(link_.Error()), nullptr;
  area_ = FindWorkArea(link_.library());
  driver->UseWorkArea(area_);
  return driver;
}

bool FlashBanks::Write(const std::vector<Piece>& pieces, const PhaseSink& phase) {
  // One bank at a time, each with the pieces inside it.
  std::vector<FlashDriver*> order;
  for (const Piece& piece : pieces) {
    if (piece.bytes.empty()) continue;
    FlashDriver* driver = Prepare(piece.address);
    if (driver == nullptr) return false;
    if (std::find(order.begin(), order.end(), driver) == order.end()) order.push_back(driver);
  }
  for (FlashDriver* driver : order) {
    std::vector<Piece> inside;
    for (const Piece& piece : pieces) {
      if (!piece.bytes.empty() && driver->Bank().Contains(piece.address)) inside.push_back(piece);
    }
    FlashWriter writer(*driver, link_);
    if (!writer.Write(inside, phase)) return Fail(writer.Error());
  }
  return true;
}

bool FlashBanks::ProgramErased(const std::vector<Piece>& pieces) {
  for (const Piece& piece : pieces) {
    FlashDriver* driver = Prepare(piece.address);
    if (driver == nullptr) return false;
    FlashWriter writer(*driver, link_);
    if (!writer.ProgramErased({piece}, {})) return Fail(writer.Error());
  }
  return true;
}

bool FlashBanks::Erase(uint32_t address, uint64_t length, std::vector<Sector>* erased) {
  FlashDriver* driver = Prepare(address);
  if (driver == nullptr) return false;
  FlashWriter writer(*driver, link_);
  return writer.Erase(address, length, erased) || Fail(writer.Error());
}

bool FlashBanks::EraseAll(const FlashBank** bank) {
  if (drivers_.empty()) return Fail("no flash bank probed (flash probe ADDRESS first)");
  for (const auto& driver : drivers_) {
    *bank = &driver->Bank();
    if (Prepare(driver->Bank().base) == nullptr) return false;
    if (!driver->EraseChip()) {
      return Fail("erase failed: " + driver->Error() + "; the whole bank may be incomplete");
    }
  }
  return true;
}

}  // namespace vantrel::flash
