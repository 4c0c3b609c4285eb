// read, write, load, region and regions: target memory and the memory map.
#include <cstdint>
#include <cstdio>

#include "commands.h"
#include "flash_image.h"
#include "halt_report.h"
#include "image.h"
#include "numbers.h"
#include "output.h"
#include "session.h"
#include "target_facts.h"
#include "transfers.h"
#include "user_files.h"

namespace vantrel::cli {

namespace {

// The entry the download sets: --entry, or the image's own. Refuses a Thumb address,
// since a download resumes the core in ARM state.
std::optional<uint32_t> ChooseEntry(Session& session, const Image& image, std::optional<uint32_t> given) {
  const std::optional<uint32_t> entry = given ? given : image.entry;
  if (!entry) {
    session.Fail("the image names no entry point; give --entry ADDRESS");
    return std::nullopt;
  }
  if ((*entry & 3) != 0) {
    session.Fail("the entry " + Hex32(*entry) +
                 " is not a word-aligned ARM address (the core resumes in ARM state); "
                 "give --entry ADDRESS");
    return std::nullopt;
  }
  return entry;
}

size_t TotalBytes(const Image& image) {
  size_t total = 0;
  for (const Segment& segment : image.segments) total += segment.bytes.size();
  return total;
}

// The saved PC a download would have set.
bool SetEntry(Session& session, uint32_t entry) {
  JtagRequest request = client::EmptyRequest();
  std::snprintf(request.args.writeRegister.name, VANTREL_TEXT_FIELD_SIZE, "pc");
  request.args.writeRegister.value = entry;
  return session.Check(session.Call(VANTREL_CMD_WRITE_REGISTER, request));
}

bool TakeAddressOption(Session& session, Arguments& arguments, const char* name, std::optional<uint32_t>* value) {
  bool missing = false;
  const auto word = arguments.Option(name, &missing);
  if (missing) return session.Fail(std::string(name) + " needs an address");
  if (word && !(*value = session.ParseAddress(*word))) return false;
  return true;
}

}  // namespace

bool RunRead(Session& session, Arguments& arguments) {
  bool missing = false;
  const auto out = arguments.Option("--out", &missing);
  if (missing) return session.Fail("--out needs a file name");
  if (!ExpectPositional(session, arguments, 2, 2)) return false;
  std::string error;
  if (out && !CheckOutputFile(*out, &error)) return session.Fail(error);
  const auto address = session.ParseAddress(arguments.Positional()[0]);
  if (!address) return false;
  const auto length = session.ParseCount(arguments.Positional()[1], "length");
  if (!length) return false;
  std::vector<unsigned char> bytes;
  if (!ReadTarget(session, *address, *length, &bytes)) return false;
  if (out) {
    if (!WriteUserFile(*out, bytes, &error)) return session.Fail(error);
    std::printf("saved     %zu bytes from %s to %s\n", bytes.size(), Hex32(*address).c_str(), out->c_str());
    return true;
  }
  for (const std::string& line : HexDumpLines(*address, bytes)) std::printf("%s\n", line.c_str());
  return true;
}

bool RunWrite(Session& session, Arguments& arguments) {
  const bool verify = arguments.Flag("--verify");
  bool missing = false;
  const auto file = arguments.Option("--file", &missing);
  if (missing) return session.Fail("--file needs a file name");
  if (!ExpectPositional(session, arguments, file ? 1 : 2, file ? 1 : SIZE_MAX)) return false;
  const auto address = session.ParseAddress(arguments.Positional()[0]);
  if (!address) return false;
  std::vector<unsigned char> bytes;
  std::string error;
  if (file) {
    if (!ReadUserFile(*file, kMaxTransferBytes, &bytes, &error)) return session.Fail(error);
  } else {
    const auto parsed = ParseHexBytes(Words(arguments.Positional().begin() + 1, arguments.Positional().end()));
    if (!parsed) return session.Fail("bytes are hex digits in pairs, e.g. \"de ad be ef\" or deadbeef");
    bytes = *parsed;
  }
  if (static_cast<uint64_t>(*address) + bytes.size() > 0x100000000ull) {
    return session.Fail("the bytes pass the end of the address space");
  }
  // A plain store into a CFI chip is a command cycle, not data.
  if (InFlash(session, Segment{*address, bytes})) return session.Fail("use flash write");
  if (!WriteTarget(session, *address, bytes, verify)) return false;
  std::printf("wrote     %zu bytes at %s%s\n", bytes.size(), Hex32(*address).c_str(), verify ? ", verified" : "");
  return true;
}

bool RunLoad(Session& session, Arguments& arguments) {
  const bool verify = arguments.Flag("--verify");
  std::optional<uint32_t> entry, at;
  if (!TakeAddressOption(session, arguments, "--entry", &entry) ||
      !TakeAddressOption(session, arguments, "--at", &at)) {
    return false;
  }
  if (!ExpectPositional(session, arguments, 1, 1)) return false;
  const std::string& path = arguments.Positional()[0];
  Image image;
  std::string error;
  if (!LoadImageFile(path, at, &image, &error)) return session.Fail(error);
  const auto start = ChooseEntry(session, image, entry);
  if (!start) return false;
  // RAM first: the flash loop borrows RAM and puts it back as it found it.
  std::vector<Segment> inFlash;
  for (const Segment& segment : image.segments) {
    if (InFlash(session, segment)) {
      inFlash.push_back(segment);
      continue;
    }
    if (!DownloadSegment(session, segment.address, segment.bytes, *start, verify)) return false;
    std::printf("segment   %s  %7zu bytes%s\n", Hex32(segment.address).c_str(), segment.bytes.size(),
                verify ? "  verified" : "");
  }
  if (!inFlash.empty() && !(ProgramFlashSegments(session, inFlash) && SetEntry(session, *start))) return false;
  session.symbols() = image.symbols;
  RearmBreakpointsInImage(session, image);
  std::printf("loaded    %s  (%s, %zu bytes, %zu symbols)\n", path.c_str(), image.format.c_str(), TotalBytes(image),
              image.symbols.Size());
  std::printf("entry     %s\n", session.Describe(*start).c_str());
  return true;
}

bool RunRegion(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 4, 4)) return false;
  const Words& words = arguments.Positional();
  if (words[0] != "add") return session.Fail("usage: region add START LENGTH ro|wo|rw");
  const auto start = session.ParseAddress(words[1]);
  if (!start) return false;
  const auto length = session.ParseCount(words[2], "length");
  if (!length) return false;
  const std::optional<uint32_t> property = client::RegionPropertyNamed(words[3]);
  if (!property) return session.Fail("the access is ro, wo or rw");
  if (static_cast<uint64_t>(*start) + *length > 0x100000000ull) {
    return session.Fail("the region passes the end of the address space");
  }
  if (!session.Check(client::AddRegion(session.library(), *start, *length, *property))) return false;
  std::printf("region    %s  %s  %s\n", Hex32(*start).c_str(), Hex32(*length).c_str(), words[3].c_str());
  return true;
}

bool RunRegions(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  const client::Answer answer = client::ListRegions(session.library());
  if (!session.Check(answer)) return false;
  std::string text = answer.text;
  std::erase(text, '\r');
  std::printf("%s", text.c_str());
  if (!text.empty() && text.back() != '\n') std::printf("\n");
  return true;
}

}  // namespace vantrel::cli
