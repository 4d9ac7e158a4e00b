#include "adjust/procedures/SharedIds.h"

namespace vantor {

SharedIds::~SharedIds() {
  if (reporter_ == nullptr) return;
  reporter_->SetFormatWords(kHeadIdFailure, nullptr);
  reporter_->SetFormatWords(kUsbIdFailure, nullptr);
}

void SharedIds::Attach(Reporter& reporter) {
  if (reporter_ != nullptr) return;
  reporter_ = &reporter;
  reporter.SetFormatWords(kHeadIdFailure, &headIdWords_);
  reporter.SetFormatWords(kUsbIdFailure, &usbIdWords_);
  access_ = std::make_unique<LinkAccess>(reporter.GetLink(), headId_, usbId_);
  raster_ = std::make_unique<Raster>(*access_);
}

}  // namespace vantor
