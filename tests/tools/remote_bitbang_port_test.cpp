// The command line's remote_bitbang port against the simulated board served over a real
// socket: the library gets the same results batched and one access at a time, also when
// the link breaks part-way, and a silent link costs a bounded wait, never a hang.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "board/remote_bitbang.h"
#include "memory_requests.h"
#include "remote_bitbang_port.h"

namespace vantrel::e2e {
namespace {

constexpr uint64_t kNoCut = UINT64_MAX;

// One client on a loopback port, served by the fixture's board. After cutAfter bytes the
// link breaks: closed, or (silent) left open with nothing more read or answered.
class BoardServer {
 public:
  BoardServer(vsim::Board& board, uint64_t cutAfter, bool silent)
      : board_(board), cut_after_(cutAfter), silent_(silent) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listener_, 1), 0);
    EXPECT_EQ(getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~BoardServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve() {
    pollfd waiting{listener_, POLLIN, 0};
    while (!stop_ && poll(&waiting, 1, 50) == 0) {
    }
    if (stop_) return;
    const int client = accept(listener_, nullptr, nullptr);
    vsim::RemoteBitbangSession session(board_);
    std::vector<uint8_t> buffer(65536);
    uint64_t received = 0;
    while (!stop_ && received < cut_after_) {
      pollfd ready{client, POLLIN, 0};
      if (poll(&ready, 1, 50) <= 0) continue;
      const ssize_t n = recv(client, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      const auto taken = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(n), cut_after_ - received));
      received += taken;
      std::string reply;
      const bool quit = session.Feed(buffer.data(), taken, reply) == vsim::RemoteBitbangSession::Outcome::kQuit;
      if (!reply.empty()) (void)send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      if (quit) break;
    }
    while (silent_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    close(client);
  }

  vsim::Board& board_;
  uint64_t cut_after_;
  bool silent_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// What the host sees of a short session: each request's status, the job's result, the
// bytes read and the status word at the end.
struct Outcome {
  std::vector<int> statuses;
  int jobResult = 0;
  std::vector<uint8_t> bytes;
  int statusWord = 0;
  bool operator==(const Outcome&) const = default;
};

class RemoteBitbangPortTest : public MemoryTest {
 protected:
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;  // only TCK moves the core: every run alike
    return config;
  }

  // A read of 4 KiB with the exact sequences, or a fast write of 16 KiB through the
  // comms loop; for the write, the bytes are what the board holds afterwards.
  Outcome Session(uint64_t cutAfter, bool silent, bool batched, bool fastWrite = false) {
    ReloadLibrary();
    UseBoard(BoardConfiguration());
    LoadWords(0x8000, std::vector<uint32_t>(1024, 0x5A5A0000u));
    Outcome outcome;
    const std::vector<uint8_t> written = Pattern(kWriteBytes, 0x3C);  // the job reads it until it ends
    {
      BoardServer server(board(), cutAfter, silent);
      client::RemoteBitbangPort port;
      port.SetReplyTimeoutMs(300);
      std::string error;
      EXPECT_TRUE(port.Connect(server.Address(), &error)) << error;
      const VantrelPortIo io = port.Io();
      library().VantrelUsePortBatch(&io, batched ? client::RemoteBitbangPort::BatchEntry() : nullptr);
      if (fastWrite) library().VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
      outcome.statuses.push_back(Open().status);
      outcome.statuses.push_back(Connect().status);
      library().jtagClearLastError();
      if (fastWrite) {
        // RAM the comms loop may borrow: no lpt.ini names a work area here.
        outcome.statuses.push_back(AddRegion(kLoopArea, 0x100, VANTREL_REGION_READ_WRITE).status);
        outcome.statuses.push_back(WriteMemory(kWriteAddress, written).status);
      } else {
        outcome.bytes.resize(4096);
        outcome.statuses.push_back(ReadMemory(0x8000, outcome.bytes.data(), 4096).status);
      }
      outcome.jobResult = WaitForJob(std::chrono::seconds(60));
      outcome.statusWord = StatusWord();
      library().Unload();  // its TAP reset still goes through this port
    }
    if (fastWrite) outcome.bytes = BoardBytes(kWriteAddress, kWriteBytes);
    return outcome;
  }

  static constexpr uint32_t kWriteAddress = 0x10000;
  static constexpr std::size_t kWriteBytes = 16384;
  static constexpr uint32_t kLoopArea = 0x30000;
};

TEST_F(RemoteBitbangPortTest, BatchedAndSingleAccessesGiveTheSameResultsWhereverTheLinkBreaks) {
  const struct {
    uint64_t cutAfter;
    bool silent;
  } kCases[] = {{kNoCut, false}, {40, false},   {5000, false}, {30000, false},
                {70000, false},  {30000, true}, {70000, true}};
  for (const auto& breakAt : kCases) {
    SCOPED_TRACE(std::to_string(breakAt.cutAfter) + (breakAt.silent ? " silent" : " closed"));
    const Outcome single = Session(breakAt.cutAfter, breakAt.silent, false);
    const Outcome batched = Session(breakAt.cutAfter, breakAt.silent, true);
    EXPECT_EQ(batched, single);
    if (breakAt.cutAfter == kNoCut) {
      EXPECT_EQ(batched.jobResult, 0);
      EXPECT_EQ(batched.bytes[0], 0x00);
      EXPECT_EQ(batched.bytes[3], 0x5A);
    } else {
      EXPECT_NE(batched.jobResult, 0) << "a broken link must not pass for a good transfer";
    }
  }
}

// The fast write keeps the status reads of its scans in flight across its chunks: a link
// that breaks anywhere in it must still fail it, batched or not, and a whole one must
// leave every byte written. Its words cross the link from about byte 14,000 to byte
// 358,000 of the session; the loop is halted and put away after that.
TEST_F(RemoteBitbangPortTest, AFastWriteFailsWhereverTheLinkBreaksInIt) {
  const struct {
    uint64_t cutAfter;
    bool silent;
  } kCases[] = {{kNoCut, false}, {60000, false}, {200000, false}, {352000, false}, {359000, false}, {352000, true}};
  for (const auto& breakAt : kCases) {
    SCOPED_TRACE(std::to_string(breakAt.cutAfter) + (breakAt.silent ? " silent" : " closed"));
    const Outcome single = Session(breakAt.cutAfter, breakAt.silent, false, true);
    const Outcome batched = Session(breakAt.cutAfter, breakAt.silent, true, true);
    EXPECT_EQ(batched, single);
    if (breakAt.cutAfter == kNoCut) {
      EXPECT_EQ(batched.jobResult, 0);
      EXPECT_EQ(batched.bytes, Pattern(kWriteBytes, 0x3C));
    } else {
      EXPECT_NE(batched.jobResult, 0) << "a broken link must not pass for a good transfer";
    }
  }
}

}  // namespace
}  // namespace vantrel::e2e
