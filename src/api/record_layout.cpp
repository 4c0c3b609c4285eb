// The request and response records are a wire format shared with hosts built by other
// compilers: any drift in their layout must stop the build.
#include <cstddef>

#include "vantrel.h"

namespace {

constexpr bool kPointers64 = sizeof(void*) == 8;
constexpr std::size_t AfterPointer(std::size_t offset32) { return offset32 + (kPointers64 ? 4 : 0); }

static_assert(sizeof(JtagResponse) == 1036);
static_assert(offsetof(JtagResponse, echo) == 0);
static_assert(offsetof(JtagResponse, status) == 4);
static_assert(offsetof(JtagResponse, length) == 8);
static_assert(offsetof(JtagResponse, data) == 12);

static_assert(sizeof(JtagRequest) == 1240);
static_assert(offsetof(JtagRequest, kind) == 0);
static_assert(offsetof(JtagRequest, code) == 8);
static_assert(offsetof(JtagRequest, args) == 16);

#define ARG_OFFSET(member) (offsetof(JtagRequest, args) + offsetof(decltype(JtagRequest::args), member))

static_assert(ARG_OFFSET(open.portName) == 20);
static_assert(ARG_OFFSET(connect.bigEndian) == 16);
static_assert(ARG_OFFSET(download.verify) == 16);
static_assert(ARG_OFFSET(download.loadAddress) == 20);
static_assert(ARG_OFFSET(download.entryAddress) == 24);
static_assert(ARG_OFFSET(download.image) == 28);
static_assert(ARG_OFFSET(download.length) == AfterPointer(32));
static_assert(ARG_OFFSET(breakpoint.address) == 16);
static_assert(ARG_OFFSET(clearBreak.hardware) == 16);
static_assert(ARG_OFFSET(clearBreak.address) == 20);
static_assert(ARG_OFFSET(clearBreak.displacedWord) == 24);
static_assert(ARG_OFFSET(writeRegister.name) == 16);
static_assert(ARG_OFFSET(writeRegister.value) == 80);
static_assert(ARG_OFFSET(readRegisters.byMode) == 16);
static_assert(ARG_OFFSET(readRegisters.modeName) == 20);
static_assert(ARG_OFFSET(readRegisters.nameCount) == 84);
static_assert(ARG_OFFSET(readRegisters.names) == 88);
static_assert(ARG_OFFSET(readRegisters.names) + sizeof(VantrelReadRegistersArgs::names) == 1240);
static_assert(ARG_OFFSET(writeMemory.verify) == 16);
static_assert(ARG_OFFSET(writeMemory.address) == 20);
static_assert(ARG_OFFSET(writeMemory.data) == 24);
static_assert(ARG_OFFSET(writeMemory.length) == AfterPointer(28));
static_assert(ARG_OFFSET(writeMemory.accessWidth) == AfterPointer(32));
static_assert(ARG_OFFSET(readMemory.buffer) == 16);
static_assert(ARG_OFFSET(readMemory.address) == AfterPointer(20));
static_assert(ARG_OFFSET(readMemory.length) == AfterPointer(24));
static_assert(ARG_OFFSET(addRegion.start) == 16);
static_assert(ARG_OFFSET(addRegion.length) == 24);
static_assert(ARG_OFFSET(addRegion.property) == 32);
static_assert(ARG_OFFSET(addRegion.reserved) == 36);
static_assert(sizeof(VantrelMemoryRegion) == 24);
static_assert(ARG_OFFSET(watchpoint.address) == 16);
static_assert(ARG_OFFSET(watchpoint.ignoredBits) == 20);
static_assert(ARG_OFFSET(watchpoint.size) == 24);
static_assert(ARG_OFFSET(watchpoint.access) == 28);
static_assert(ARG_OFFSET(watchpoint.placement) == 32);
static_assert(ARG_OFFSET(unitBreak.address) == 16);
static_assert(ARG_OFFSET(unitBreak.placement) == 20);
static_assert(ARG_OFFSET(unit.unit) == 16);
static_assert(sizeof(VantrelStopReason) == 20);

#undef ARG_OFFSET

}  // namespace
