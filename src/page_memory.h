// Memory in whole pages, for the blocks that files are read into and written
// from: the system copies file data to and from a page-aligned block about
// twice as fast as one that begins elsewhere in a page.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

constexpr std::size_t page_size = 4096;

struct page_free {
  void operator()(char* pages) const { ::operator delete[](pages, std::align_val_t{page_size}); }
};

using page_buffer = std::unique_ptr<char[], page_free>;

// `size` bytes, not set, from the start of a page; throws std::bad_alloc.
inline page_buffer allocate_pages(std::size_t size) {
  return page_buffer(static_cast<char*>(::operator new[](size, std::align_val_t{page_size})));
}
