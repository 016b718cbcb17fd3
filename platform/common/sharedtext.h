// An immutable text for the values and names that bags store and copy a lot.
// A short text lives inside the object (no allocation); a longer one lives in
// one block on the heap that copies share: copying adds a reference (the
// count is atomic, so copies may live on other threads), so copying a record
// allocates nothing for its texts. The characters always end with a zero.
#ifndef WRENUTIL_PLATFORM_COMMON_SHAREDTEXT_H_
#define WRENUTIL_PLATFORM_COMMON_SHAREDTEXT_H_

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

namespace platform {

template <class CharT>
class SharedText {
 public:
  // The longest text kept inside the object: 27 bytes, or 6 wide characters.
  static constexpr std::size_t kInline = 28 / sizeof(CharT) - 1;

  SharedText() noexcept { chars_[0] = CharT{}; }
  explicit SharedText(std::basic_string_view<CharT> text) {
    const std::size_t n = text.size();
    if (n > kMaxSize) throw std::bad_alloc();
    CharT* chars = chars_;
    if (n > kInline) {
      void* memory = ::operator new(sizeof(Block) + (n + 1) * sizeof(CharT));
      Block* block = new (memory) Block{};
      std::memcpy(chars_, &block, sizeof block);
      chars = CharsOf(block);
      size_ = kShared;
    }
    if (n != 0) std::memcpy(chars, text.data(), n * sizeof(CharT));
    chars[n] = CharT{};
    size_ |= static_cast<std::uint32_t>(n);
  }
  SharedText(const SharedText& other) noexcept : size_(other.size_) {
    std::memcpy(chars_, other.chars_, sizeof chars_);
    if (shared()) block()->refs.fetch_add(1, std::memory_order_relaxed);
  }
  SharedText(SharedText&& other) noexcept : size_(other.size_) {
    std::memcpy(chars_, other.chars_, sizeof chars_);
    other.size_ = 0;
    other.chars_[0] = CharT{};
  }
  SharedText& operator=(SharedText other) noexcept {
    std::swap(chars_, other.chars_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~SharedText() {
    if (shared()) {
      Block* b = block();
      if (b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        b->~Block();
        ::operator delete(b);
      }
    }
  }

  std::size_t size() const noexcept { return size_ & ~kShared; }
  bool empty() const noexcept { return size() == 0; }
  const CharT* data() const noexcept { return shared() ? CharsOf(block()) : chars_; }
  const CharT* c_str() const noexcept { return data(); }
  std::basic_string_view<CharT> view() const noexcept { return {data(), size()}; }

  friend bool operator==(const SharedText& a, const SharedText& b) noexcept {
    return a.view() == b.view();
  }

 private:
  // The header of a heap text; its characters follow it.
  struct Block {
    std::atomic<std::uint32_t> refs{1};
  };
  static_assert(alignof(Block) >= alignof(CharT) && sizeof(Block) % alignof(CharT) == 0);
  static constexpr std::uint32_t kShared = 0x80000000u;
  static constexpr std::size_t kMaxSize = kShared - 2;

  static CharT* CharsOf(Block* block) noexcept {
    return reinterpret_cast<CharT*>(reinterpret_cast<unsigned char*>(block) + sizeof(Block));
  }
  bool shared() const noexcept { return (size_ & kShared) != 0; }
  // A heap text keeps the address of its block where a short one keeps its
  // characters.
  Block* block() const noexcept {
    Block* b;
    std::memcpy(&b, chars_, sizeof b);
    return b;
  }

  CharT chars_[kInline + 1];
  std::uint32_t size_ = 0;  // the count of characters; kShared marks a heap text
};

static_assert(sizeof(SharedText<char>) == 32 && sizeof(SharedText<wchar_t>) == 32);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_SHAREDTEXT_H_
