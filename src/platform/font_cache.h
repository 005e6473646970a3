#pragma once
// Realised fonts, cached by their logical description at device size.
#include <map>
#include <memory>
#include <string>

#include "platform/font.h"

namespace win {

class FontCache {
public:
    FontCache();
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // lf.lfHeight and lf.lfWidth are device pixels here.
    const RealizedFont& Get(const LOGFONT& lf);

private:
    std::unique_ptr<RealizedFont> Realize(const LOGFONT& lf);
    std::map<std::string, std::unique_ptr<RealizedFont>> fonts_;
};

}  // namespace win
