// Intel HEX: data records merged into contiguous segments, extended segment and linear
// addresses, and the start address records as the entry point.
#include <algorithm>
#include <map>
#include <sstream>

#include "image.h"

namespace vantrel::cli {

namespace {

enum RecordType { kData = 0, kEndOfFile = 1, kSegmentBase = 2, kSegmentStart = 3, kLinearBase = 4, kLinearStart = 5 };

struct Record {
  int type = 0;
  uint32_t offset = 0;
  std::vector<unsigned char> data;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool DecodeBytes(const std::string& digits, std::vector<unsigned char>* bytes) {
  if (digits.size() % 2 != 0) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return true;
}

// One ":LLAAAATT...CC" line; the reason in *error otherwise.
bool ParseRecord(const std::string& line, Record* record, std::string* error) {
  std::vector<unsigned char> bytes;
  if (line.empty() || line[0] != ':' || !DecodeBytes(line.substr(1), &bytes) || bytes.size() < 5) {
    *error = "not a HEX record";
    return false;
  }
  if (bytes.size() != static_cast<size_t>(bytes[0]) + 5) {
    *error = "the record's length does not match its byte count";
    return false;
  }
  unsigned sum = 0;
  for (unsigned char byte : bytes) sum += byte;
  if ((sum & 0xFF) != 0) {
    *error = "checksum mismatch";
    return false;
  }
  record->offset = static_cast<uint32_t>(bytes[1] << 8 | bytes[2]);
  record->type = bytes[3];
  record->data.assign(bytes.begin() + 4, bytes.end() - 1);
  return true;
}

uint32_t BigEndianValue(const std::vector<unsigned char>& data) {
  uint32_t value = 0;
  for (unsigned char byte : data) value = value << 8 | byte;
  return value;
}

// Accumulates the records of a file in order.
class HexReader {
 public:
  bool Apply(const Record& record, std::string* error) {
    switch (record.type) {
      case kData: return AddData(base_ + record.offset, record.data, error);
      case kEndOfFile: ended_ = true; return true;
      case kSegmentBase: return SetBase(record, 2, 16, error);
      case kLinearBase: return SetBase(record, 2, 65536, error);
      case kSegmentStart:
      case kLinearStart: return SetEntry(record, error);
      default: *error = "unknown record type " + std::to_string(record.type); return false;
    }
  }
  bool Ended() const { return ended_; }
  void Finish(Image* image) {
    for (auto& [address, bytes] : blocks_) image->segments.push_back(Segment{address, std::move(bytes)});
    image->entry = entry_;
    image->format = "Intel HEX";
  }

 private:
  bool AddData(uint64_t address, const std::vector<unsigned char>& data, std::string* error) {
    if (address + data.size() > 0x100000000ull) {
      *error = "data past the end of the 32-bit address space";
      return false;
    }
    if (data.empty()) return true;
    const uint32_t start = static_cast<uint32_t>(address);
    const uint64_t end = address + data.size();
    auto next = blocks_.upper_bound(start);
    if (next != blocks_.end() && next->first < end) return Overlap(next->first, error);
    if (next != blocks_.begin()) {
      auto previous = std::prev(next);
      const uint64_t previousEnd = previous->first + static_cast<uint64_t>(previous->second.size());
      if (previousEnd > start) return Overlap(start, error);
      if (previousEnd == start) {
        previous->second.insert(previous->second.end(), data.begin(), data.end());
        MergeWithNext(previous);
        return true;
      }
    }
    MergeWithNext(blocks_.emplace(start, data).first);
    return true;
  }
  void MergeWithNext(std::map<uint32_t, std::vector<unsigned char>>::iterator block) {
    auto next = std::next(block);
    if (next == blocks_.end() || block->first + static_cast<uint64_t>(block->second.size()) != next->first) return;
    block->second.insert(block->second.end(), next->second.begin(), next->second.end());
    blocks_.erase(next);
  }
  static bool Overlap(uint32_t address, std::string* error) {
    std::ostringstream text;
    text << "data overlaps earlier data at 0x" << std::hex << address;
    *error = text.str();
    return false;
  }
  bool SetBase(const Record& record, size_t size, uint32_t scale, std::string* error) {
    if (record.data.size() != size) {
      *error = "address record of the wrong length";
      return false;
    }
    base_ = uint64_t{BigEndianValue(record.data)} * scale;
    return true;
  }
  bool SetEntry(const Record& record, std::string* error) {
    if (record.data.size() != 4) {
      *error = "start address record of the wrong length";
      return false;
    }
    const uint32_t value = BigEndianValue(record.data);
    // A start segment record holds CS:IP.
    entry_ = record.type == kSegmentStart ? (value >> 16) * 16 + (value & 0xFFFF) : value;
    return true;
  }

  uint64_t base_ = 0;
  bool ended_ = false;
  std::optional<uint32_t> entry_;
  std::map<uint32_t, std::vector<unsigned char>> blocks_;
};

}  // namespace

bool ReadIntelHex(const std::string& text, Image* image, std::string* error) {
  std::istringstream lines(text);
  std::string line;
  HexReader reader;
  for (int number = 1; std::getline(lines, line); ++number) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty()) continue;
    Record record;
    std::string why;
    if (reader.Ended()) why = "data after the end-of-file record";
    else if (ParseRecord(line, &record, &why)) reader.Apply(record, &why);
    if (!why.empty()) {
      *error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
  }
  if (!reader.Ended()) {
    *error = "no end-of-file record (the file is cut short)";
    return false;
  }
  reader.Finish(image);
  if (image->segments.empty()) *error = "no data records";
  return image->segments.size() > 0;
}

}  // namespace vantrel::cli
