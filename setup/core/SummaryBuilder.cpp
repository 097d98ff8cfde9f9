// The ready page's summary builder.
#include "setup/core/SummaryBuilder.h"

namespace Setup::Core {

void TSetupSummaryBuilder::AddLine(std::string_view text) {
  if (!pendingTitle_.empty()) {
    if (!text_.empty()) text_ += "\r\n";
    text_ += pendingTitle_;
    text_ += "\r\n";
    pendingTitle_.clear();
  }
  text_ += text;
  text_ += "\r\n";
}

} // namespace Setup::Core
