#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace hl {

// An immutable text in sixteen bytes: up to fifteen bytes are kept in place (the last byte holds
// how many of them are unused), longer texts on the heap. Made for the name of every node of a measured tree, where a standard string would take
// twice the room for the same short names.
class NodeText {
 public:
  NodeText() { clear(); }
  explicit NodeText(std::string_view text) { assign(text); }
  NodeText(const NodeText& other) { assign(other.view()); }
  NodeText(NodeText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.clear();
  }
  NodeText& operator=(const NodeText& other) {
    if (this != &other) {
      NodeText copy(other);
      *this = static_cast<NodeText&&>(copy);
    }
    return *this;
  }
  NodeText& operator=(NodeText&& other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
      other.clear();
    }
    return *this;
  }
  ~NodeText() { release(); }

  std::string_view view() const {
    if (onHeap()) return {heapData(), heapSize()};
    return {bytes_, kTag - static_cast<std::size_t>(bytes_[kTag])};
  }
  std::size_t size() const { return view().size(); }
  bool empty() const { return size() == 0; }

 private:
  static constexpr std::size_t kTag = 15;
  static constexpr char kHeap = static_cast<char>(0x7f);

  bool onHeap() const { return bytes_[kTag] == kHeap; }
  char* heapData() const {
    char* data;
    std::memcpy(&data, bytes_, sizeof data);
    return data;
  }
  std::uint32_t heapSize() const {
    std::uint32_t size;
    std::memcpy(&size, bytes_ + sizeof(char*), sizeof size);
    return size;
  }
  void clear() {
    std::memset(bytes_, 0, sizeof bytes_);
    bytes_[kTag] = static_cast<char>(kTag);
  }
  void release() {
    if (onHeap()) delete[] heapData();
    clear();
  }
  void assign(std::string_view text) {
    if (text.size() <= kTag) {
      std::memset(bytes_, 0, sizeof bytes_);
      std::memcpy(bytes_, text.data(), text.size());
      bytes_[kTag] = static_cast<char>(kTag - text.size());
      return;
    }
    char* data = new char[text.size()];
    std::memcpy(data, text.data(), text.size());
    const auto size = static_cast<std::uint32_t>(text.size());
    std::memcpy(bytes_, &data, sizeof data);
    std::memcpy(bytes_ + sizeof(char*), &size, sizeof size);
    bytes_[kTag] = kHeap;
  }

  char bytes_[16];
};

}  // namespace hl
