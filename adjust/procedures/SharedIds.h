// The head ID and USB ID modules and the pattern encoder, one of each for all workflow panels
// (or for one vantorctl command): ReportResult shows the words of the module that failed last,
// so everything that reports through the same Reporter must use these.
#pragma once

#include <memory>

#include "adjust/procedures/IdWords.h"
#include "adjust/procedures/Messages.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "raster/LinkAccess.h"
#include "raster/Malraster.h"

namespace vantor {

class SharedIds {
 public:
  SharedIds() = default;
  ~SharedIds();
  SharedIds(const SharedIds&) = delete;
  SharedIds& operator=(const SharedIds&) = delete;

  // Called by every module's Build; the first call builds the encoder over the reporter's link
  // and registers the words, until this object goes.
  void Attach(Reporter& reporter);

  Malheadid& HeadId() { return headId_; }
  Malusbid& UsbId() { return usbId_; }
  // Valid after Attach.
  Raster& GetRaster() { return *raster_; }
  LinkAccess& Access() { return *access_; }

 private:
  Malheadid headId_;
  Malusbid usbId_;
  HeadIdWords headIdWords_{headId_};
  UsbIdWords usbIdWords_{usbId_};
  Reporter* reporter_ = nullptr;
  std::unique_ptr<LinkAccess> access_;
  std::unique_ptr<Raster> raster_;
};

}  // namespace vantor
