#include "adjust/procedures/Bench.h"

namespace vantor {

Bench::Bench(Link& linkIn, MessageDisplay& display)
    : link(linkIn), reporter(linkIn, display, {&headIdWords_, &bidRangeWords, &usbIdWords_}) {}

}  // namespace vantor
