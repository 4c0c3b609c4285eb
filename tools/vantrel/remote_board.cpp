// A board reached over remote_bitbang, behind the library's lpt1 port.
#include <memory>
#include <string>
#include <utility>

#include "board_attachment.h"
#include "remote_bitbang_port.h"

namespace vantrel::cli {
namespace {

class RemoteBoard final : public AttachedBoard {
 public:
  explicit RemoteBoard(std::string address) : address_(std::move(address)) {}
  bool Connect(std::string* error) { return port_.Connect(address_, error); }
  client::RemoteBitbangPort& Port() { return port_; }
  std::string Description() const override { return "remote_bitbang at " + address_; }
  std::optional<uint64_t> PortAccesses() const override { return std::nullopt; }

 private:
  std::string address_;
  client::RemoteBitbangPort port_;
};

}  // namespace

std::unique_ptr<AttachedBoard> AttachRemoteBitbang(const client::Library& library, const std::string& address,
                                                   std::string* error) {
  auto board = std::make_unique<RemoteBoard>(address);
  if (!board->Connect(error)) return nullptr;
  const VantrelPortIo io = board->Port().Io();
  library.UsePortBatch(&io, client::RemoteBitbangPort::BatchEntry());
  return board;
}

}  // namespace vantrel::cli
