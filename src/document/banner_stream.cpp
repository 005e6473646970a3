#include "document/banner_stream.h"

#include "core/error_context.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/key_file.h"
#include "document/circuit_file.h"
#include "document/document_services.h"
#include "document/section_stream.h"

namespace kq5 {

namespace {

constexpr std::uint8_t kColorTableLast = 63;
constexpr std::int32_t kFirstVersionWithZeroHeightColor = (5 << 16) | 1;  // 5.01

int Code(int type, bool endsLine) { return type | (endsLine ? kFieldEndsLine : 0); }

}  // namespace

BannerStream::BannerStream(int unit, std::int32_t version, std::uint32_t options)
    : unit_(unit), version_(version), options_(options)
{
    const FileUnit* slot = GetFileUnit(unit);
    writing_ = slot != nullptr && slot->mode == kUnitWriting;
}

bool BannerStream::Old() const { return version_ == kPreviousGenerationVersion; }

BannerStream& BannerStream::Byte(std::uint8_t& value, bool endsLine)
{
    if (Ok()) Fail(TransferField(unit_, value, Code(kFieldByte, endsLine)));
    return *this;
}

BannerStream& BannerStream::Short(std::int16_t& value, bool endsLine)
{
    if (Ok()) Fail(TransferField(unit_, value, Code(kFieldShort, endsLine)));
    return *this;
}

BannerStream& BannerStream::Word(std::uint16_t& value, bool endsLine)
{
    std::int32_t wide = value;
    Int(wide, endsLine);
    if (Ok() && Reading()) value = static_cast<std::uint16_t>(wide);
    return *this;
}

BannerStream& BannerStream::Int(std::int32_t& value, bool endsLine)
{
    if (Ok()) Fail(TransferField(unit_, value, Code(kFieldInt, endsLine)));
    return *this;
}

BannerStream& BannerStream::Double(double& value, bool endsLine)
{
    if (Ok()) Fail(TransferField(unit_, value, Code(kFieldDouble, endsLine)));
    return *this;
}

BannerStream& BannerStream::Color(std::uint8_t& value, bool endsLine)
{
    std::uint8_t field = Writing() ? static_cast<std::uint8_t>(value & 0x0F) : 0;
    Byte(field, endsLine);
    if (Ok() && Reading()) value = field > kColorTableLast ? kColorTableLast : field;
    return *this;
}

BannerStream& BannerStream::Text(std::string& text)
{
    if (Ok()) Fail(TransferMultilineText(unit_, text));
    return *this;
}

BannerStream& BannerStream::Text(std::string& text, std::size_t width)
{
    Text(text);
    if (Ok() && Reading()) text = FitText(text, width);
    return *this;
}

BannerStream& BannerStream::Font(FontSpec& font, bool endsLine)
{
    const bool colorAlways = version_ >= kFirstVersionWithZeroHeightColor;
    Short(font.height, endsLine && font.height == 0 && !colorAlways);
    if (!Ok()) return *this;
    if (font.height != 0) {
        std::int16_t face = font.face;
        std::uint8_t reserved = 0;
        Byte(font.style).Short(face).Byte(reserved);
        if (Ok() && Reading()) {
            const auto& names = DocumentServices().bannerFontNames;
            face = face >= 0 && static_cast<std::size_t>(face) < names.size()
                       ? static_cast<std::int16_t>(FindFontFace(names[static_cast<std::size_t>(face)]))
                       : 0;
            font.face = face;
        }
    }
    if (font.height != 0 || colorAlways) Color(font.color, endsLine);
    return *this;
}

BannerStream& BannerStream::Marker(std::string_view name)
{
    if (Ok() && !Old()) Fail(TransferSectionMarker(unit_, name));
    return *this;
}

BannerStream& BannerStream::Count(std::int32_t& count, std::int32_t max)
{
    Int(count, true);
    if (Reading()) Check(count >= 0 && count <= max);
    return *this;
}

BannerStream& BannerStream::Check(bool condition)
{
    if (Ok() && Reading() && !condition) Fail(kMsgBadFormat);
    return *this;
}

int ReadItemDefinition(BannerStream& s, std::uint32_t options, ComponentDefinition*& definition)
{
    definition = nullptr;
    std::string name;
    s.Text(name);
    if (!s.Ok()) return s.Status();
    SetErrorContext(name);
    return ResolveItemDefinition(name, options, definition);
}

}  // namespace kq5
