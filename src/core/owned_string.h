#pragma once
// Owned strings: a text field that exactly one record, list node or state struct holds.
//
// A field is a plain std::string and an empty string means "no text". The functions
// below are the only ways the program replaces, grows or formats such a field, so that
// every writer follows the same rules:
//  - the text given may lie inside the field's own text (it is copied before the old
//    text goes);
//  - formatting is measured first and never cut, whatever the arguments;
//  - when memory runs out the std::bad_alloc of the string propagates and the field keeps
//    its old text; the place that makes the record catches it and reports 15002.
#include <cstddef>
#include <string>
#include <string_view>

namespace kq5 {

// A copy of the text.
std::string StrDup(std::string_view text);
// A copy of at most the first n characters of the text, stopping early at an embedded
// NUL; a negative n counts as 0.
std::string StrNDup(std::string_view text, int n);

// Replaces the field's text by a copy of the text; returns the field.
const std::string& SetString(std::string& field, std::string_view text);
// Makes room for n more characters behind the field's text; returns the field.
std::string& GrowString(std::string& field, std::size_t n);
// Appends the text (or one character) to the field; returns the field.
const std::string& AppendString(std::string& field, std::string_view text);
const std::string& AppendCharToString(std::string& field, char c);

// Replaces the field's text by the formatted text; returns the field.
const std::string& FormatString(std::string& field, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// Appends the formatted text to the field; returns the field.
const std::string& AppendFormat(std::string& field, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// The formatted text. Kept under this name for the number formatters that use it; the
// result is measured, so a long result is never cut.
std::string FormatBounded(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The exact length of the text that the format yields with these arguments.
std::size_t EstimateFormattedLength(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kq5
