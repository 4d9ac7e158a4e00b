#include "adjust/WorkflowModule.h"

#include "adjust/BidPanels.h"
#include "adjust/EepromPanels.h"
#include "adjust/HeadAngularPanels.h"
#include "adjust/IdentityPanels.h"
#include "adjust/MaintenancePanels.h"
#include "adjust/MechanismPanels.h"
#include "adjust/SharedIds.h"

namespace vantor {

std::vector<std::unique_ptr<WorkflowModule>> MakeWorkflowModules() {
  std::vector<std::unique_ptr<WorkflowModule>> modules;
  auto ids = std::make_shared<SharedIds>();
  modules.push_back(std::make_unique<MechanismPanels>(ids));
  modules.push_back(std::make_unique<HeadAngularPanels>(ids));
  modules.push_back(std::make_unique<BidPanels>(ids));
  modules.push_back(std::make_unique<IdentityPanels>(ids));
  modules.push_back(std::make_unique<MaintenancePanels>());
  modules.push_back(std::make_unique<EepromPanels>(ids));
  return modules;
}

}  // namespace vantor
