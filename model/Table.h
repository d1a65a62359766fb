// The array of one model table and the memory behind it. Plain records
// only: the tables are copied and grown by their bytes.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// The memory of the tables' arrays, given by byte sizes. ResizeTableBlock
// works like realloc (a null block is a new one; on failure it returns null
// and the block stays as it was); `oldBytes` must be the size the block was
// last given, and FreeTableBlock takes that size too. Large blocks are mapped
// on huge pages where the system offers them (see TableMemory.cpp).
void* ResizeTableBlock(void* block, size_t oldBytes, size_t newBytes);
void FreeTableBlock(void* block, size_t bytes);

// The array of one model table: plain records, indexed like std::vector. A
// large block grows in place or has its pages remapped: growing copies
// nothing, never holds the old and the new array at once, and capacity not
// yet written costs no memory. Growing one record at a time therefore stays
// cheap for tables of millions of records. Throws std::bad_alloc when memory
// runs out.
template <typename T> struct Table {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

    T* items = nullptr;
    size_t count = 0;
    size_t capacity = 0;

    Table() = default;
    Table(const Table& other) { *this = other; }
    Table(Table&& other) noexcept { swap(other); }
    Table& operator=(const Table& other) {
        if (this != &other) {
            resize(0);
            Append(other.items, other.count);
        }
        return *this;
    }
    Table& operator=(Table&& other) noexcept {
        Table(std::move(other)).swap(*this);
        return *this;
    }
    ~Table() { FreeTableBlock(items, capacity * sizeof(T)); }

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T* data() { return items; }
    const T* data() const { return items; }
    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }
    T& operator[](size_t i) { return items[i]; }
    const T& operator[](size_t i) const { return items[i]; }
    T& back() { return items[count - 1]; }

    void reserve(size_t wanted) {
        if (wanted <= capacity) {
            return;
        }
        if (wanted > SIZE_MAX / sizeof(T)) {
            throw std::bad_alloc();
        }
        void* grown = ResizeTableBlock(items, capacity * sizeof(T), wanted * sizeof(T));
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        items = static_cast<T*>(grown);
        capacity = wanted;
    }
    void push_back(const T& item) {
        if (count == capacity) {
            const T copy = item; // `item` may lie in the array that moves
            Grow(count + 1);
            items[count++] = copy;
            return;
        }
        items[count++] = item;
    }
    // New elements are value-initialised (zero for the records here).
    void resize(size_t n) { resize(n, T{}); }
    void resize(size_t n, const T& item) {
        if (n > count) {
            const T value = item;
            reserve(n);
            for (size_t i = count; i < n; ++i) {
                items[i] = value;
            }
        }
        count = n;
    }
    void assign(size_t n, const T& value) {
        count = 0;
        resize(n, value);
    }
    // Appends `n` copies of `value`.
    void insert(const T* position, size_t n, const T& item) {
        assert(position == end());
        (void)position;
        const T value = item;
        if (count + n > capacity) {
            Grow(count + n);
        }
        resize(count + n, value);
    }
    void clear() { count = 0; }
    void swap(Table& other) noexcept {
        std::swap(items, other.items);
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
    }

  private:
    void Grow(size_t needed) {
        size_t wanted = capacity < 16 ? 16 : capacity * 2;
        reserve(wanted > needed ? wanted : needed);
    }
    void Append(const T* from, size_t n) {
        reserve(count + n);
        if (n != 0) {
            std::memcpy(static_cast<void*>(items + count), from, n * sizeof(T));
        }
        count += n;
    }
};
