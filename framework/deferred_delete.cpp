#include "framework/deferred_delete.h"

namespace fw {

void DeleteQueue::DeleteOrDefer(WindowObject* object) {
  if (depth_ > 0) Defer(object);
  else delete object;
}

// The list is taken first: a destructor may defer further objects.
void DeleteQueue::Flush() {
  if (depth_ != 0) return;
  std::vector<WindowObject*> objects;
  objects.swap(waiting_);
  for (WindowObject* object : objects) delete object;
}

}  // namespace fw
