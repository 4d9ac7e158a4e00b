#include "adjust/panels/BidPanels.h"
#include "adjust/panels/EepromPanels.h"
#include "adjust/panels/HeadAngularPanels.h"
#include "adjust/panels/IdentityPanels.h"
#include "adjust/panels/MaintenancePanels.h"
#include "adjust/panels/MechanismPanels.h"
#include "adjust/panels/WorkflowModule.h"

namespace vantor {

std::vector<std::unique_ptr<WorkflowModule>> MakeWorkflowModules() {
  std::vector<std::unique_ptr<WorkflowModule>> modules;
  modules.push_back(std::make_unique<MechanismPanels>());
  modules.push_back(std::make_unique<HeadAngularPanels>());
  modules.push_back(std::make_unique<BidPanels>());
  modules.push_back(std::make_unique<IdentityPanels>());
  modules.push_back(std::make_unique<MaintenancePanels>());
  modules.push_back(std::make_unique<EepromPanels>());
  return modules;
}

}  // namespace vantor
