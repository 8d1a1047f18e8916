#pragma once
// How the process keeps the memory it frees.

namespace platform {

// Makes large blocks that the process frees (up to 32 MiB each, up to 64 MiB in all) stay with
// it for its next allocations, instead of going back to the system at once. Every frame the GL
// driver allocates and frees buffers of a texture's or a frame's size; memory fresh from the
// system costs a page fault for each of its 4 KiB pages. Measured on Linux (Mesa llvmpipe, 640x480
// at 60 fps): from 70 to 320 faults a frame as the allocator's own threshold happened to move,
// under 1 once set, and some 5 % less CPU time. The show, its timedemo and the capture tool call
// it once, before the show loads. Returns false where the allocator has no such setting (then nothing changes).
bool keepFreedBlocksForReuse();

}  // namespace platform
