#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

// An ordered list of heap objects it owns, seen as a list of references: elements keep their
// address while the list grows, and derived element types keep their own behaviour.
template <class T>
class udb_owning_list {
 public:
  template <class Base, class Elem>
  class basic_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::remove_const_t<Elem>;
    using difference_type = std::ptrdiff_t;
    using pointer = Elem*;
    using reference = Elem&;

    basic_iterator() = default;
    explicit basic_iterator(Base it) : it_(it) {}
    reference operator*() const { return **it_; }
    pointer operator->() const { return it_->get(); }
    basic_iterator& operator++() {
      ++it_;
      return *this;
    }
    basic_iterator operator++(int) { return basic_iterator(it_++); }
    basic_iterator& operator--() {
      --it_;
      return *this;
    }
    basic_iterator operator--(int) { return basic_iterator(it_--); }
    basic_iterator& operator+=(difference_type n) {
      it_ += n;
      return *this;
    }
    basic_iterator operator+(difference_type n) const { return basic_iterator(it_ + n); }
    difference_type operator-(const basic_iterator& other) const { return it_ - other.it_; }
    reference operator[](difference_type n) const { return *it_[n]; }
    bool operator==(const basic_iterator&) const = default;
    auto operator<=>(const basic_iterator&) const = default;

   private:
    Base it_{};
  };
  using iterator = basic_iterator<typename std::vector<std::unique_ptr<T>>::iterator, T>;
  using const_iterator =
      basic_iterator<typename std::vector<std::unique_ptr<T>>::const_iterator, const T>;

  std::size_t size() const noexcept { return items_.size(); }
  bool empty() const noexcept { return items_.empty(); }
  // Out-of-range positions are programming errors and throw std::out_of_range.
  T& operator[](std::size_t i) { return *items_.at(i); }
  const T& operator[](std::size_t i) const { return *items_.at(i); }

  // Takes ownership; a null element is refused with std::invalid_argument.
  T& push_back(std::unique_ptr<T> item) {
    if (item == nullptr) throw std::invalid_argument("udb_owning_list: null element");
    items_.push_back(std::move(item));
    return *items_.back();
  }
  void erase(std::size_t i) {
    if (i >= items_.size()) throw std::out_of_range("udb_owning_list: position out of range");
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  void clear() noexcept { items_.clear(); }
  void reserve(std::size_t n) { items_.reserve(n); }

  iterator begin() noexcept { return iterator(items_.begin()); }
  iterator end() noexcept { return iterator(items_.end()); }
  const_iterator begin() const noexcept { return const_iterator(items_.begin()); }
  const_iterator end() const noexcept { return const_iterator(items_.end()); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};
