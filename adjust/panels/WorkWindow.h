// What the start window needs of the adjustment window it hands over to.
#pragma once

#include "link/Model.h"

namespace vantor {

class ServiceRecorder;

class WorkWindow {
 public:
  virtual ~WorkWindow() = default;
  // Model label and the Adjustment list offered until the first status read sets the menus;
  // the session's record (null: none).
  virtual void PrepareForModel(Model model, ServiceRecorder* record) = 0;
  virtual void ShowWorkWindow() = 0;
};

}  // namespace vantor
