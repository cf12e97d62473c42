// Deferred deletion of window objects that own themselves.
//
// Such an object deletes itself once its window is gone (PostNcDestroy). Its window may go
// while one of its own procedures, or an operation called on it, is still on the stack (a
// handler that runs inside the object's message handling may destroy the window); deleting it
// there would pull the object from under that frame. A DeleteQueue counts the frames that may
// use its objects and holds the objects whose windows are gone until none of them runs.
#pragma once

#include <vector>

#include "framework/window.h"

namespace fw {

class DeleteQueue {
 public:
  DeleteQueue() = default;
  DeleteQueue(const DeleteQueue&) = delete;
  DeleteQueue& operator=(const DeleteQueue&) = delete;

  // One counted frame for the scope. With flushOnExit, the outermost frame deletes the
  // waiting objects when it ends; a window procedure cannot, because the framework still
  // touches its object after the procedure returns.
  class Frame {
   public:
    explicit Frame(DeleteQueue& queue, bool flushOnExit = false) : queue_(queue), flushOnExit_(flushOnExit) {
      ++queue_.depth_;
    }
    ~Frame() {
      if (--queue_.depth_ == 0 && flushOnExit_) queue_.Flush();
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

   private:
    DeleteQueue& queue_;
    bool flushOnExit_;
  };

  // Frames running now.
  int Depth() const { return depth_; }
  // Holds the object until the next Flush outside every frame.
  void Defer(WindowObject* object) {
    if (object) waiting_.push_back(object);
  }
  // Deletes the object at once when no frame runs, else holds it.
  void DeleteOrDefer(WindowObject* object);
  // Deletes the waiting objects, unless a frame is running.
  void Flush();

 private:
  int depth_ = 0;
  std::vector<WindowObject*> waiting_;
};

}  // namespace fw
