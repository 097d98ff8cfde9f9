// The rich viewer on POSIX: our own reader and layout draw the document, no system window.
#include "setup/ui/RichViewer.h"

namespace Setup::UI::Controls {

void TKVLRichInnerViewer::CreateNativeViewer() {}
void TKVLRichInnerViewer::NativeShowContent() {}
void TKVLRichInnerViewer::NativeApplyFormat() {}
void TKVLRichInnerViewer::NativeApplyZoom() {}

} // namespace Setup::UI::Controls
