// What a procedure runs with, built whole for one link and one message display: the link, the
// message interface with every module's failure words, the head-ID and USB-ID modules, the
// EEPROM access and the encoder. One per window or per vantorctl command.
#pragma once

#include "adjust/procedures/IdWords.h"
#include "adjust/procedures/Messages.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/Link.h"
#include "raster/LinkAccess.h"
#include "raster/Malraster.h"

namespace vantor {

class ProcedureContext {
 public:
  ProcedureContext(Link& link, MessageDisplay& display);
  ProcedureContext(const ProcedureContext&) = delete;
  ProcedureContext& operator=(const ProcedureContext&) = delete;

  Link& link;
  // ReportResult shows the words of the module that failed last, so these are the only ones.
  Malheadid headId;
  Malusbid usbId;

 private:
  HeadIdWords headIdWords_{headId};
  UsbIdWords usbIdWords_{usbId};

 public:
  // The words of a Bi-D value out of range; the write names its row before reporting.
  BidRangeWords bidRangeWords;
  Reporter reporter;
  LinkAccess access{link, headId, usbId};
  Raster raster{access};
};

}  // namespace vantor
