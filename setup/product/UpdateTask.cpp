// Update tasks: the base class's out-of-line member, which anchors its vtable in this unit.
#include "setup/product/UpdateTask.h"

namespace Setup::Product::ONDU::Actions {

TSetupUpdateTask::~TSetupUpdateTask() = default;

} // namespace Setup::Product::ONDU::Actions
