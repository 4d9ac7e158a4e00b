#include "adjust/panels/BidPanels.h"
#include "adjust/panels/EepromPanels.h"
#include "adjust/panels/HeadAngularPanels.h"
#include "adjust/panels/IdentityPanels.h"
#include "adjust/panels/MaintenancePanels.h"
#include "adjust/panels/MechanismPanels.h"
#include "adjust/panels/WorkflowModule.h"
#include "adjust/procedures/SharedIds.h"

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
