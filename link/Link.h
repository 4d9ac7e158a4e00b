// The link objects, one each for the life of the program, built in dependency order.
#pragma once

#include "FactoryCommands.h"
#include "PacketChannel.h"
#include "PrinterPort.h"
#include "RemoteCommands.h"

namespace vantor {

struct Link {
  Link(const PortTable& table, Clock& clock)
      : port(table, clock), channel(port, clock), remote(channel), maintenance(channel),
        factory(channel, clock) {}
  PrinterPort port;
  PacketChannel channel;
  RemoteCommands remote;
  MaintenanceCommands maintenance;
  FactoryCommands factory;
};

}  // namespace vantor
