#include "adjust/WorkflowModule.h"

namespace vantor {

std::vector<std::unique_ptr<WorkflowModule>> MakeWorkflowModules() {
  std::vector<std::unique_ptr<WorkflowModule>> modules;
  return modules;
}

}  // namespace vantor
