// The link objects, one each for the life of the program, built in dependency order.
#pragma once

#include <functional>

#include "FactoryCommands.h"
#include "PacketChannel.h"
#include "PrinterPort.h"
#include "RemoteCommands.h"

namespace vantor {

struct Link {
  Link(const PortTable& table, Clock& clock)
      : port(table, clock),
        channel(port, clock),
        remote(channel),
        maintenance(channel),
        factory(channel, clock) {}
  PrinterPort port;
  PacketChannel channel;
  RemoteCommands remote;
  MaintenanceCommands maintenance;
  FactoryCommands factory;
};

// Runs a clean-up step after a failure; the failure's cause (port and channel error codes)
// stays what ReportResult will show, whatever the step does.
inline Result KeepingFailureCause(Link& link, const std::function<Result()>& step) {
  const std::int16_t portError = link.port.PortError();
  const std::int16_t channelError = link.channel.ChannelError();
  const Result r = step();
  link.port.RestoreError(portError);
  link.channel.RestoreError(channelError);
  return r;
}

}  // namespace vantor
