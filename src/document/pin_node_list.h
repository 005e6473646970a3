#pragma once
// The node numbers of a component's pins. Nearly every part of a large circuit has two pins
// (resistors, capacitors, subcircuit calls of two nodes): up to two are held in the list
// itself, more in a block of their own.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kq5 {

class PinNodeList {
public:
    using value_type = std::int32_t;
    using iterator = std::int32_t*;
    using const_iterator = const std::int32_t*;

    PinNodeList() = default;
    PinNodeList(std::initializer_list<std::int32_t> nodes) { assign(nodes.begin(), nodes.end()); }
    PinNodeList(const PinNodeList& other) { assign(other.begin(), other.end()); }
    PinNodeList(PinNodeList&& other) noexcept { TakeFrom(other); }
    PinNodeList& operator=(const PinNodeList& other)
    {
        if (this != &other) assign(other.begin(), other.end());
        return *this;
    }
    PinNodeList& operator=(PinNodeList&& other) noexcept
    {
        if (this != &other) {
            Release();
            TakeFrom(other);
        }
        return *this;
    }
    PinNodeList& operator=(std::initializer_list<std::int32_t> nodes)
    {
        assign(nodes.begin(), nodes.end());
        return *this;
    }
    PinNodeList& operator=(const std::vector<std::int32_t>& nodes)
    {
        assign(nodes.data(), nodes.data() + nodes.size());
        return *this;
    }
    ~PinNodeList() { Release(); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::int32_t* data() { return OnHeap() ? heap_ : inline_; }
    const std::int32_t* data() const { return OnHeap() ? heap_ : inline_; }
    std::int32_t& operator[](std::size_t i) { return data()[i]; }
    const std::int32_t& operator[](std::size_t i) const { return data()[i]; }
    iterator begin() { return data(); }
    iterator end() { return data() + size_; }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size_; }
    std::vector<std::int32_t> ToVector() const { return {begin(), end()}; }

    // A list that shrinks keeps its block; clear() and a move let it go. May throw
    // std::bad_alloc, leaving the list as it was.
    void resize(std::size_t count, std::int32_t value = 0)
    {
        Reserve(count);
        for (std::size_t i = size_; i < count; ++i) data()[i] = value;
        size_ = static_cast<std::uint32_t>(count);
    }
    void assign(std::size_t count, std::int32_t value)
    {
        size_ = 0;
        resize(count, value);
    }
    void assign(const std::int32_t* first, const std::int32_t* last)
    {
        const auto count = static_cast<std::size_t>(last - first);
        if (count > capacity_) {
            auto* block = new std::int32_t[count];
            Release();
            heap_ = block;
            capacity_ = static_cast<std::uint32_t>(count);
        }
        std::int32_t* to = data();
        for (std::size_t i = 0; i < count; ++i) to[i] = first[i];
        size_ = static_cast<std::uint32_t>(count);
    }
    void push_back(std::int32_t node)
    {
        if (size_ == capacity_) Reserve(2 * static_cast<std::size_t>(capacity_));
        data()[size_++] = node;
    }
    void clear()
    {
        Release();
        size_ = 0;
        capacity_ = kInline;
    }

    friend bool operator==(const PinNodeList& a, const PinNodeList& b)
    {
        if (a.size_ != b.size_) return false;
        for (std::size_t i = 0; i < a.size_; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }

private:
    static constexpr std::uint32_t kInline = 2;

    bool OnHeap() const { return capacity_ > kInline; }
    void Release()
    {
        if (OnHeap()) delete[] heap_;
    }
    void TakeFrom(PinNodeList& other)
    {
        size_ = other.size_;
        capacity_ = other.capacity_;
        if (other.OnHeap())
            heap_ = other.heap_;
        else
            for (std::uint32_t i = 0; i < other.size_; ++i) inline_[i] = other.inline_[i];
        other.size_ = 0;
        other.capacity_ = kInline;
    }
    void Reserve(std::size_t count)
    {
        if (count <= capacity_) return;
        auto* block = new std::int32_t[count];
        for (std::uint32_t i = 0; i < size_; ++i) block[i] = data()[i];
        Release();
        heap_ = block;
        capacity_ = static_cast<std::uint32_t>(count);
    }

    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = kInline;
    union {
        std::int32_t inline_[kInline] = {0, 0};
        std::int32_t* heap_;
    };
};

}  // namespace kq5
