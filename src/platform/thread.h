// What a thread that does the long work tells the system about itself.
#pragma once

namespace tessarel {

// The calling thread (and the threads it starts later) gives way to the window's thread: the
// copy and the hashing may wait a moment, the window answering the user may not.
void GiveWayToTheWindow();

// The calling thread's priority, and giving it to another thread (helpers of the long work run
// as the thread that started them does, however the system passes priorities on).
int ThisThreadPriority();
void SetThisThreadPriority(int priority);

}  // namespace tessarel
