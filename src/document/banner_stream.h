#pragma once
// The field transfer of the banner circuit file: one object per load or save that writes or reads
// each field by the unit's mode and keeps the first failure, so that a block is written once as
// a sequence of transfers and the same sequence reads it back. After a failure every transfer
// does nothing; readers check Ok() before they use what they read.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/font_description.h"

namespace kq5 {

// Upper bounds of the counts read from a file: a larger count is a damaged file, not a reason
// to allocate.
constexpr std::int32_t kMaxBannerItems = 10000000;
constexpr std::int32_t kMaxBannerRows = 100000;
constexpr std::int32_t kMaxBannerTexts = 64;
constexpr std::int32_t kMaxBannerFontNames = 1000;

class BannerStream {
public:
    BannerStream(int unit, std::int32_t version, std::uint32_t options);

    bool Writing() const { return writing_; }
    bool Reading() const { return !writing_; }
    // A file of the previous generation (4.00).
    bool Old() const;
    bool Ok() const { return status_ == 0; }
    int Status() const { return status_; }
    int Unit() const { return unit_; }
    std::int32_t Version() const { return version_; }
    std::uint32_t Options() const { return options_; }
    // Keeps the first failure.
    void Fail(int id)
    {
        if (status_ == 0) status_ = id;
    }

    // One field; with endsLine the record ends after it.
    BannerStream& Byte(std::uint8_t& value, bool endsLine = false);
    BannerStream& Short(std::int16_t& value, bool endsLine = false);
    BannerStream& Word(std::uint16_t& value, bool endsLine = false);
    BannerStream& Int(std::int32_t& value, bool endsLine = false);
    BannerStream& Double(double& value, bool endsLine = false);
    // A colour index: written with its low four bits, read and kept within the colour table.
    BannerStream& Color(std::uint8_t& value, bool endsLine = false);
    // A text on one line of its own (line breaks kept as 0xFE).
    BannerStream& Text(std::string& text);
    // A text kept within the width of the inline field that holds it.
    BannerStream& Text(std::string& text, std::size_t width);
    // A font field group; its face is an index into the fonts block.
    BannerStream& Font(FontSpec& font, bool endsLine);
    // The block marker ":**** name ****" (files of the previous generation have none).
    BannerStream& Marker(std::string_view name);
    // A count on a line of its own; on reading, 15009 when it lies outside 0..max.
    BannerStream& Count(std::int32_t& count, std::int32_t max);
    // A reading check: 15009 unless the condition holds.
    BannerStream& Check(bool condition);

private:
    int unit_;
    std::int32_t version_;
    std::uint32_t options_;
    bool writing_;
    int status_ = 0;
};

struct ComponentDefinition;

// Reads the name that opens an item record, names it in error messages and finds its
// component definition. 0, or the failure.
int ReadItemDefinition(BannerStream& s, std::uint32_t options, ComponentDefinition*& definition);

}  // namespace kq5
