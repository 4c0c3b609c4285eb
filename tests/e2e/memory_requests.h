// Requests of the memory commands (transfers, memory map, breakpoints) for the
// end-to-end tests, and waiting for a background job as a host does: clear the last
// error before the command, then poll until it changes.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "fixture/board_fixture.h"

namespace vantrel::e2e {

class MemoryTest : public BoardTest {
 protected:
  JtagResponse WriteMemory(uint32_t address, const std::vector<uint8_t>& data, int32_t verify = 0, int32_t width = 4,
                           int32_t code = VANTREL_CMD_WRITE_MEMORY) {
    return WriteMemoryRaw(address, data.data(), static_cast<int32_t>(data.size()), verify, width, code);
  }
  JtagResponse WriteMemoryRaw(uint32_t address, const void* data, int32_t length, int32_t verify, int32_t width,
                              int32_t code = VANTREL_CMD_WRITE_MEMORY) {
    JtagRequest request = test::EmptyRequest();
    request.args.writeMemory = {verify, address, data, length, width};
    return Call(code, request);
  }
  JtagResponse ReadMemory(uint32_t address, void* buffer, int32_t length, int32_t code = VANTREL_CMD_READ_MEMORY) {
    JtagRequest request = test::EmptyRequest();
    request.args.readMemory = {buffer, address, length};
    return Call(code, request);
  }
  JtagResponse Download(uint32_t loadAddress, uint32_t entryAddress, const std::vector<uint8_t>& image,
                        int32_t verify = 1) {
    return DownloadRaw(loadAddress, entryAddress, image.data(), static_cast<int32_t>(image.size()), verify);
  }
  JtagResponse DownloadRaw(uint32_t loadAddress, uint32_t entryAddress, const void* image, int32_t length,
                           int32_t verify) {
    JtagRequest request = test::EmptyRequest();
    request.args.download = {verify, loadAddress, entryAddress, image, length};
    return Call(VANTREL_CMD_DOWNLOAD, request);
  }
  JtagResponse AddRegion(uint64_t start, uint64_t length, uint32_t property, uint32_t reserved = 0) {
    JtagRequest request = test::EmptyRequest();
    request.args.addRegion = {start, length, property, reserved};
    return Call(VANTREL_CMD_ADD_REGION, request);
  }
  JtagResponse ListRegions() { return Call(VANTREL_CMD_LIST_REGIONS); }
  JtagResponse SetHardwareBreak(uint32_t address) {
    JtagRequest request = test::EmptyRequest();
    request.args.breakpoint.address = address;
    return Call(VANTREL_CMD_SET_HARDWARE_BREAK, request);
  }
  JtagResponse SetSoftwareBreak(uint32_t address) {
    JtagRequest request = test::EmptyRequest();
    request.args.breakpoint.address = address;
    return Call(VANTREL_CMD_SET_SOFTWARE_BREAK, request);
  }
  JtagResponse ClearSoftwareBreak(uint32_t address, const unsigned char displaced[4]) {
    JtagRequest request = test::EmptyRequest();
    request.args.clearBreak.hardware = 0;
    request.args.clearBreak.address = address;
    for (int i = 0; i < 4; ++i) request.args.clearBreak.displacedWord[i] = displaced[i];
    return Call(VANTREL_CMD_CLEAR_BREAK, request);
  }
  JtagResponse ClearHardwareBreak() {
    JtagRequest request = test::EmptyRequest();
    request.args.clearBreak.hardware = 1;
    return Call(VANTREL_CMD_CLEAR_BREAK, request);
  }

  // Polls until the job's result replaces the 1 that jtagClearLastError left; 1 on timeout.
  int WaitForJob(std::chrono::seconds timeout = std::chrono::seconds(120)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const int result = library().jtagGetLastError();
      if (result != 1) return result;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 1;
  }

  std::vector<uint8_t> BoardBytes(uint32_t address, std::size_t count) {
    std::vector<uint8_t> bytes(count);
    EXPECT_TRUE(board().ReadMemory(address, bytes));
    return bytes;
  }
  void FillBoard(uint32_t address, std::size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    ASSERT_TRUE(board().WriteMemory(address, bytes));
  }
  static std::vector<uint8_t> Pattern(std::size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed ^ (i * 13 + (i >> 8)));
    return bytes;
  }
};

}  // namespace vantrel::e2e
