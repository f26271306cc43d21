#pragma once
// Process-wide settings of the C library's allocator for long print runs.

namespace ordavel {

// Every PDF or printer page allocates and frees a compressor's working
// buffers of a few hundred kilobytes. By default the allocator hands such
// memory back to the system after each page and asks for it again on the
// next, which costs a third of a batch's time in page faults. This keeps up
// to 64 MB of freed memory for reuse instead. Large pictures still come from
// and go back to the system directly. Does nothing where the C library has
// no such settings.
void keepFreedMemoryForReuse();

} // namespace ordavel
