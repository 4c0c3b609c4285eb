#include "support/recording_port.h"

#include <cstdio>

namespace vantrel::test {

RecordingPort::RecordingPort(uint16_t dataPort) : data_port_(dataPort) {}

VantrelPortIo RecordingPort::Io() { return VantrelPortIo{this, &Acquire, &Read, &Write}; }

int RecordingPort::Acquire(void* context) {
  auto* self = static_cast<RecordingPort*>(context);
  ++self->acquire_calls_;
  if (self->acquire_queue_.empty()) return self->acquire_result_;
  const int result = self->acquire_queue_.front();
  self->acquire_queue_.pop_front();
  return result;
}

unsigned char RecordingPort::Read(void* context, unsigned short port) {
  auto* self = static_cast<RecordingPort*>(context);
  uint8_t value = 0xFF;
  if (port == self->data_port_) {
    value = self->data_readback_ ? self->last_data_ : 0xFF;
  } else if (port == self->StatusPort()) {
    if (!self->status_queue_.empty()) {
      value = self->status_queue_.front();
      self->status_queue_.pop_front();
    } else if (self->status_source_) {
      value = self->status_source_(self->last_data_);
    } else {
      value = self->default_status_;
    }
  }
  self->log_.push_back({false, port, value});
  return value;
}

void RecordingPort::Write(void* context, unsigned short port, unsigned char value) {
  auto* self = static_cast<RecordingPort*>(context);
  if (port == self->data_port_) self->last_data_ = value;
  self->log_.push_back({true, port, value});
  if (self->write_observer_) self->write_observer_(port, value);
}

std::string RecordingPort::Trace() const {
  std::string out;
  char item[16];
  for (const PortAccessRecord& r : log_) {
    if (!out.empty()) out += ' ';
    if (r.write && r.port == data_port_) {
      std::snprintf(item, sizeof item, "W%02X", r.value);
    } else if (!r.write && r.port == StatusPort()) {
      std::snprintf(item, sizeof item, "R");
    } else if (r.write) {
      std::snprintf(item, sizeof item, "W@%X=%02X", r.port, r.value);
    } else {
      std::snprintf(item, sizeof item, "R@%X", r.port);
    }
    out += item;
  }
  return out;
}

std::vector<PortAccessRecord> RecordingPort::AccessesTo(uint16_t port) const {
  std::vector<PortAccessRecord> out;
  for (const PortAccessRecord& r : log_) {
    if (r.port == port) out.push_back(r);
  }
  return out;
}

}  // namespace vantrel::test
