#include "ui/menu_sources.h"

namespace kq5 {

MenuSources& MenuTextSources()
{
    static MenuSources sources;
    return sources;
}

}  // namespace kq5
