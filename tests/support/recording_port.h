// A virtual parallel port for tests: it logs every access the library makes through
// VantrelPortIo and serves scripted bytes to reads.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "vantrel_port.h"

namespace vantrel::test {

struct PortAccessRecord {
  bool write;
  uint16_t port;
  uint8_t value;  // the byte written, or the byte the read returned
};

class RecordingPort {
 public:
  explicit RecordingPort(uint16_t dataPort = 0x378);

  // Callbacks bound to this object; valid while it lives.
  VantrelPortIo Io();

  // Reads of the data port return the last byte written there (a cable is present)
  // unless SetDataReadback(false) makes them return 0xFF (no cable).
  void SetDataReadback(bool present) { data_readback_ = present; }
  // Reads of the status port: scripted bytes first, in order, then the default.
  void QueueStatus(uint8_t value) { status_queue_.push_back(value); }
  void SetDefaultStatus(uint8_t value) { default_status_ = value; }
  // Optional hook that decides the status byte from the data-port value (a model of a
  // device behind the cable); it is asked when the queue is empty.
  void SetStatusSource(std::function<uint8_t(uint8_t lastDataWrite)> source) { status_source_ = std::move(source); }
  void SetAcquireResult(int result) { acquire_result_ = result; }
  // Optional hook told of every write as it happens (a device model that must follow
  // each clock edge, not only the moments the library reads).
  void SetWriteObserver(std::function<void(uint16_t port, uint8_t value)> observer) {
    write_observer_ = std::move(observer);
  }
  // Answers to acquire: scripted results first, in order, then SetAcquireResult's.
  void QueueAcquireResult(int result) { acquire_queue_.push_back(result); }

  const std::vector<PortAccessRecord>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  int AcquireCalls() const { return acquire_calls_; }
  uint8_t LastDataWrite() const { return last_data_; }

  // The log as "W03 R W07 ...": data-port writes as Wxx, status-port reads as R, and
  // any other port as W@port=xx / R@port.
  std::string Trace() const;
  // Only the accesses to one port.
  std::vector<PortAccessRecord> AccessesTo(uint16_t port) const;

  uint16_t DataPort() const { return data_port_; }
  uint16_t StatusPort() const { return static_cast<uint16_t>(data_port_ + 1); }
  uint16_t ControlPort() const { return static_cast<uint16_t>(data_port_ + 2); }

 private:
  static int Acquire(void* context);
  static unsigned char Read(void* context, unsigned short port);
  static void Write(void* context, unsigned short port, unsigned char value);

  uint16_t data_port_;
  bool data_readback_ = true;
  uint8_t last_data_ = 0;
  uint8_t default_status_ = 0x80;  // TDO 0, both power lines good
  std::deque<uint8_t> status_queue_;
  std::function<uint8_t(uint8_t)> status_source_;
  std::function<void(uint16_t, uint8_t)> write_observer_;
  int acquire_result_ = 0;
  std::deque<int> acquire_queue_;
  int acquire_calls_ = 0;
  std::vector<PortAccessRecord> log_;
};

}  // namespace vantrel::test
