// flash: probe a CFI chip, list the probed banks, erase sectors or a whole bank, and
// write an image into flash (erase, program, verify).
#include <cstdio>

#include "commands.h"
#include "flash_image.h"
#include "numbers.h"
#include "output.h"
#include "progress_bar.h"
#include "session.h"

namespace vantrel::cli {

namespace {

const char* PhaseLabel(flash::Phase phase) {
  switch (phase) {
    case flash::Phase::kRead: return "keep   ";
    case flash::Phase::kErase: return "erase  ";
    default: return "program";
  }
}

void PrintBank(const flash::FlashBank& bank) {
  std::printf("flash     %s  %s  %s\n", Hex32(bank.base).c_str(), Hex32(bank.size).c_str(), bank.identity.c_str());
  for (const flash::EraseRegion& region : bank.regions) {
    std::printf("          %s  %u x %s\n", Hex32(region.address).c_str(), region.blocks,
                Hex32(region.blockSize).c_str());
  }
}

bool RunProbe(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 2, 2)) return false;
  const auto address = session.ParseAddress(arguments.Positional()[1]);
  if (!address) return false;
  const flash::FlashBank* bank = session.flash().Probe(*address);
  if (bank == nullptr) return session.Fail(session.flash().Error());
  PrintBank(*bank);
  return true;
}

bool RunInfo(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 1, 1)) return false;
  if (session.flash().Empty()) {
    std::printf("no flash bank probed (flash probe ADDRESS)\n");
    return true;
  }
  for (const flash::FlashBank* bank : session.flash().Banks()) PrintBank(*bank);
  const auto area = session.flash().workArea();
  if (area) std::printf("work area %s  %s\n", Hex32(area->address).c_str(), Hex32(area->size).c_str());
  else std::printf("work area none: the host makes the command cycles itself\n");
  return true;
}

bool RunErase(Session& session, Arguments& arguments) {
  const Words& words = arguments.Positional();
  if (words.size() == 2 && words[1] == "all") {
    const flash::FlashBank* bank = nullptr;
    if (!session.flash().EraseAll(&bank)) return session.Fail(session.flash().Error());
    for (const flash::FlashBank* erased : session.flash().Banks()) {
      std::printf("erased    %s  %s  the whole bank\n", Hex32(erased->base).c_str(), Hex32(erased->size).c_str());
    }
    return true;
  }
  if (!ExpectPositional(session, arguments, 3, 3)) return false;
  const auto address = session.ParseAddress(words[1]);
  if (!address) return false;
  const auto length = session.ParseCount(words[2], "length");
  if (!length) return false;
  std::vector<flash::Sector> erased;
  if (!session.flash().Erase(*address, *length, &erased)) return session.Fail(session.flash().Error());
  std::printf("erased    %zu sectors: %s\n", erased.size(), flash::DescribeSectors(erased).c_str());
  return true;
}

bool RunFlashWrite(Session& session, Arguments& arguments) {
  std::optional<uint32_t> at;
  bool missing = false;
  const auto word = arguments.Option("--at", &missing);
  if (missing) return session.Fail("--at needs an address");
  if (word && !(at = session.ParseAddress(*word))) return false;
  if (!ExpectPositional(session, arguments, 2, 2)) return false;
  const std::string& path = arguments.Positional()[1];
  Image image;
  std::string error;
  if (!LoadImageFile(path, at, &image, &error)) return session.Fail(error);
  if (!ProgramFlashSegments(session, image.segments)) return false;
  if (!image.symbols.Empty()) session.symbols() = image.symbols;
  std::printf("flashed   %s  (%s)\n", path.c_str(), image.format.c_str());
  return true;
}

}  // namespace

bool InFlash(Session& session, const Segment& segment) {
  return session.flash().Overlapping(segment.address, segment.bytes.size()) != nullptr;
}

bool ProgramFlashSegments(Session& session, const std::vector<Segment>& segments) {
  std::vector<flash::Piece> pieces;
  pieces.reserve(segments.size());
  for (const Segment& segment : segments) pieces.push_back({segment.address, segment.bytes});
  std::unique_ptr<ProgressBar> bar;
  flash::Phase shown = flash::Phase::kRead;
  const bool ok = session.flash().Write(pieces, [&](flash::Phase phase, uint64_t done, uint64_t total) {
    if (!bar || phase != shown) {
      bar = std::make_unique<ProgressBar>(PhaseLabel(phase), session.settings().progressBar);
      shown = phase;
    }
    bar->Update(total == 0 ? 100 : static_cast<int>(done * 100 / total));
  });
  if (bar) bar->Finish();
  if (!ok) return session.Fail(session.flash().Error());
  for (const Segment& segment : segments) {
    std::printf("flash     %s  %7zu bytes  erased, programmed, verified\n", Hex32(segment.address).c_str(),
                segment.bytes.size());
  }
  return true;
}

bool RunFlash(Session& session, Arguments& arguments) {
  const Words& words = arguments.Positional();
  if (words.empty())
    return session.Fail(
        "usage: flash probe ADDRESS | info | erase ADDRESS LENGTH | erase all | write FILE [--at ADDRESS]");
  if (words[0] == "probe") return RunProbe(session, arguments);
  if (words[0] == "info") return RunInfo(session, arguments);
  if (words[0] == "erase") return RunErase(session, arguments);
  if (words[0] == "write") return RunFlashWrite(session, arguments);
  return session.Fail("unknown flash command '" + words[0] + "' (probe, info, erase, write)");
}

}  // namespace vantrel::cli
