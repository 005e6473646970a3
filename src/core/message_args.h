#pragma once
// Typed arguments of reported messages and printf-style formatting over them. The formatter
// reads each conversion's argument by its real type, so a wrong or missing argument gives an
// empty text or a zero instead of undefined behaviour, and a text argument is copied as it
// stands: a '%' in a file name or a user's text is never read as a conversion.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct SchematicItem;
struct CircuitTextObject;

struct MessageArg {
    using Value = std::variant<std::monostate, long long, unsigned long long, double, std::string, const void*,
                               WindowRecord*, win::HWND, const SchematicItem*, const CircuitTextObject*>;
    Value value;

    MessageArg() = default;
    MessageArg(std::nullptr_t) {}
    MessageArg(const char* text) {
        if (text) value = std::string(text);
    }
    MessageArg(char* text) : MessageArg(static_cast<const char*>(text)) {}
    MessageArg(std::string text) : value(std::move(text)) {}
    MessageArg(std::string_view text) : value(std::string(text)) {}
    MessageArg(WindowRecord* record) : value(record) {}
    MessageArg(const WindowRecord* record) : value(const_cast<WindowRecord*>(record)) {}
    MessageArg(win::HWND window) : value(window) {}
    MessageArg(const SchematicItem* item) : value(item) {}
    MessageArg(const CircuitTextObject* line) : value(line) {}
    template <class T>
        requires(std::is_integral_v<T> || std::is_enum_v<T>)
    MessageArg(T number) {
        if constexpr (std::is_enum_v<T>) {
            value = static_cast<long long>(number);
        } else if constexpr (std::is_signed_v<T> || std::is_same_v<T, bool>) {
            value = static_cast<long long>(number);
        } else {
            value = static_cast<unsigned long long>(number);
        }
    }
    template <class T>
        requires std::is_floating_point_v<T>
    MessageArg(T number) : value(static_cast<double>(number)) {}
    // Any other pointer is only good for %p.
    template <class T>
        requires(!std::is_same_v<std::remove_cv_t<T>, char> && !std::is_same_v<std::remove_cv_t<T>, WindowRecord> &&
                 !std::is_same_v<std::remove_cv_t<T>, SchematicItem> &&
                 !std::is_same_v<std::remove_cv_t<T>, CircuitTextObject> &&
                 !std::is_same_v<std::remove_cv_t<T>, win::WindowObject>)
    MessageArg(T* pointer) : value(static_cast<const void*>(pointer)) {}

    bool IsMissing() const { return std::holds_alternative<std::monostate>(value); }
    // The text of a text argument, null for any other kind.
    const std::string* Text() const { return std::get_if<std::string>(&value); }
    // True (with the value) for an integer argument.
    bool Integer(long long& out) const;
};

using MessageArgs = std::vector<MessageArg>;

template <class... Args>
MessageArgs MakeMessageArgs(Args&&... args) {
    MessageArgs packed;
    packed.reserve(sizeof...(Args));
    (packed.emplace_back(std::forward<Args>(args)), ...);
    return packed;
}

// Formats the format once with the arguments. Integer conversions take integers (a floating
// argument is converted), floating conversions take numbers, %s takes texts, %c an integer; a
// missing or unsuitable argument formats as an empty text (or 0 for numbers). %n writes nothing.
// Widths and precisions are kept within the longest text a message can hold.
std::string FormatMessageArgs(std::string_view format, std::span<const MessageArg> args);

// Message texts may begin with the kind marker "%E" (error) or "%W" (warning). The marker is
// not a conversion: this formats what follows it and puts the marker back in front.
std::string FormatMarkedText(std::string_view text, std::span<const MessageArg> args);

// The kind marker at the front of a text: 'E', 'W' or 0.
char MessageMarker(std::string_view text);

}  // namespace kq5
