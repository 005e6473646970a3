#include "document/document_services.h"

namespace kq5 {

namespace {

DocumentServicesState& State()
{
    static DocumentServicesState state;
    return state;
}

}  // namespace

DocumentServicesState& DocumentServices() { return State(); }

void ResetDocumentServicesForTests()
{
    DocumentServicesState& state = State();
    state.untitledCounters.fill(0);
    for (std::string& name : state.recentFiles) name.clear();
    ListClear(state.clipboardItems);
    ListClear(state.clipboardGridTexts);
    ListClear(state.clipboardObjects);
    state.clipboardCutFrom = nullptr;
    state.bannerFontNames.clear();
}

}  // namespace kq5
