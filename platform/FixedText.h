// Text composed into a buffer the caller owns, without allocating, locking or calling the C
// library's formatting: usable inside a signal handler. Text past the capacity is cut.
//
//   char storage[256];
//   platform::FixedText text(storage, sizeof storage);
//   text.Add("signal ").AddDecimal(11).Add(" at ").AddHex(0x1a2b);
//   write(fd, text.Data(), text.Size());
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class FixedText {
  public:
    // `capacity` includes the terminating zero byte that Data() always ends with.
    FixedText(char* data, std::size_t capacity) : data_(data), capacity_(capacity) {
        if (capacity_ != 0)
            data_[0] = '\0';
    }
    FixedText(const FixedText&) = delete;
    FixedText& operator=(const FixedText&) = delete;

    FixedText& Add(const char* text) {
        if (text == nullptr)
            return *this;
        while (*text != '\0')
            Put(*text++);
        return *this;
    }
    FixedText& Add(const char* text, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i)
            Put(text[i]);
        return *this;
    }
    FixedText& AddDecimal(std::uint64_t value) { return AddPadded(value, 1); }
    FixedText& AddSigned(std::int64_t value) {
        if (value < 0) {
            Put('-');
            return AddDecimal(0 - static_cast<std::uint64_t>(value));
        }
        return AddDecimal(static_cast<std::uint64_t>(value));
    }
    // At least `digits` decimal digits, zeros in front.
    FixedText& AddPadded(std::uint64_t value, int digits) { return AddDigits(value, 10, digits); }
    // "0x" and lower-case hexadecimal digits, at least `digits` of them.
    FixedText& AddHex(std::uint64_t value, int digits = 1) {
        Add("0x");
        return AddDigits(value, 16, digits);
    }

    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

  private:
    FixedText& AddDigits(std::uint64_t value, unsigned base, int digits) {
        char reversed[64];
        int count = 0;
        do {
            reversed[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0);
        for (int i = count; i < digits; ++i)
            Put('0');
        while (count > 0)
            Put(reversed[--count]);
        return *this;
    }
    void Put(char c) {
        if (size_ + 1 >= capacity_)
            return;
        data_[size_++] = c;
        data_[size_] = '\0';
    }

    char* data_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

}  // namespace platform
