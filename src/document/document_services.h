#pragma once
// State kept by the document window, file name, transfer and banner file services between
// calls: the untitled-name counters, the recent-file list, the internal clipboard lists and the
// font names of the banner file being read.
#include <array>
#include <string>
#include <vector>

#include "core/linked_list.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "results/plot_object.h"

namespace kq5 {

constexpr int kRecentFileCount = 8;

struct DocumentServicesState {
    // Last number given to an untitled schematic, text circuit and model library window.
    std::array<int, 3> untitledCounters{};
    // Most recent first; empty entries are unused.
    std::array<std::string, kRecentFileCount> recentFiles;
    // The internal clipboard: items never travel through the system clipboard.
    LinkedList clipboardItems{NewListRecord<SchematicItem>};
    LinkedList clipboardGridTexts{NewListRecord<GridText>};
    LinkedList clipboardObjects{NewListRecord<PlotObject>};
    // The document whose nodes the clipboard holds because they were cut from it (null after a
    // copy): pasted back into it they were moved, so flags and labels keep the names that join
    // them to their nodes.
    const void* clipboardCutFrom = nullptr;
    // Face names of the fonts block of the banner file being read; empty outside a load.
    std::vector<std::string> bannerFontNames;
};

DocumentServicesState& DocumentServices();
void ResetDocumentServicesForTests();

}  // namespace kq5
