// Native child windows on POSIX: the X11 host draws every control itself, so none is made.
#include "KVL/UI/NativeChild.h"

namespace KVL::UI {

struct TKVLNativeChild::TImpl {};

TKVLNativeChild::TKVLNativeChild(TKVLControl&, TCreate) {}
TKVLNativeChild::~TKVLNativeChild() = default;
void TKVLNativeChild::Sync() {}
void TKVLNativeChild::FollowFocus() {}
bool TKVLNativeChild::SendKey(TKVLKey) { return false; }
bool TKVLNativeChild::SendWheel(int) { return false; }
intptr_t TKVLNativeChild::Window() const { return 0; }

} // namespace KVL::UI
