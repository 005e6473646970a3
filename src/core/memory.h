#pragma once
// Heap blocks owned by exactly one field.
//
// Nothing here reports: a false or null result means the heap is exhausted, and the caller
// reports 15002 "Insufficient memory." and passes 15055 upwards. A size too large to
// represent counts as exhausted. Every block is zero-filled, so fields that a pass does
// not write read as 0.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kq5 {

// A block of bytes whose layout its owner defines; empty = no block.
using OwnedBlock = std::vector<std::uint8_t>;

// Releases what the owner holds (vector, string, unique_ptr, Array2D, ...) and leaves it
// empty. An empty owner stays as it is.
template <class T>
void FreeAndNull(T& owner) noexcept
{
    T empty{};
    using std::swap;
    swap(owner, empty);
}

// One value-initialised record; null when the heap is exhausted.
template <class T>
std::unique_ptr<T> MemAllocZero() noexcept
{
    try {
        return std::unique_ptr<T>(new T());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// A zero-filled block of size bytes in place of what the block held; false when exhausted
// (the block is then empty).
bool MemAllocZero(OwnedBlock& block, std::size_t size) noexcept;

// Replaces the array by count zero-filled elements; count 0 leaves it empty. False only
// when the heap is exhausted (the array is then empty).
template <class T>
bool AllocArray(std::vector<T>& array, std::size_t count) noexcept
{
    FreeAndNull(array);
    if (count == 0) return true;
    try {
        array.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    FreeAndNull(array);
    return false;
}

// Resizes the array to count elements, zero-filling the grown part; false when exhausted,
// the array then keeping its old elements.
template <class T>
bool ReallocBlock(std::vector<T>& array, std::size_t count) noexcept
{
    try {
        array.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

// The same: a vector never loses its elements when growing fails.
template <class T>
bool ReallocKeepOnFailure(std::vector<T>& array, std::size_t count) noexcept
{
    return ReallocBlock(array, count);
}

// A rows x columns array in one zero-filled block, addressed as array[row][column].
template <class T>
class Array2D {
public:
    Array2D() = default;
    std::size_t Rows() const { return rows_; }
    std::size_t Columns() const { return columns_; }
    bool Empty() const { return data_.empty(); }
    T* operator[](std::size_t row) { return data_.data() + row * columns_; }
    const T* operator[](std::size_t row) const { return data_.data() + row * columns_; }
    T* Data() { return data_.data(); }
    const T* Data() const { return data_.data(); }

    friend void swap(Array2D& a, Array2D& b) noexcept
    {
        std::swap(a.rows_, b.rows_);
        std::swap(a.columns_, b.columns_);
        a.data_.swap(b.data_);
    }

private:
    template <class U>
    friend bool Alloc2DArray(Array2D<U>& array, std::size_t rows, std::size_t columns) noexcept;

    std::size_t rows_ = 0;
    std::size_t columns_ = 0;
    std::vector<T> data_;
};

template <class T>
void Free2DArray(Array2D<T>& array) noexcept
{
    FreeAndNull(array);
}

// Replaces the array by a zero-filled rows x columns array; false when exhausted (the
// array is then empty).
template <class T>
bool Alloc2DArray(Array2D<T>& array, std::size_t rows, std::size_t columns) noexcept
{
    Free2DArray(array);
    if (columns != 0 && rows > std::numeric_limits<std::size_t>::max() / columns) return false;
    if (!AllocArray(array.data_, rows * columns)) return false;
    array.rows_ = rows;
    array.columns_ = columns;
    return true;
}

inline void SwapDoubles(double& a, double& b) noexcept
{
    std::swap(a, b);
}

}  // namespace kq5
