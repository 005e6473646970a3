#include "ui/print_layout_services.h"

#include <array>
#include <cstddef>
#include <utility>

namespace kq5 {

namespace {

std::array<LayoutWindowServices, 32>& LayoutServices()
{
    static std::array<LayoutWindowServices, 32> services;
    return services;
}

}  // namespace

const LayoutWindowServices* LayoutServicesOf(int kind)
{
    if (kind < 0 || kind >= static_cast<int>(LayoutServices().size())) return nullptr;
    const LayoutWindowServices& services = LayoutServices()[static_cast<std::size_t>(kind)];
    return services.placement ? &services : nullptr;
}

void SetLayoutWindowServices(int windowKind, LayoutWindowServices services)
{
    if (windowKind < 0 || windowKind >= static_cast<int>(LayoutServices().size())) return;
    LayoutServices()[static_cast<std::size_t>(windowKind)] = std::move(services);
}

}  // namespace kq5
