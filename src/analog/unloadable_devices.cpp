#include "analog/unloadable_devices.h"

#include <string>

#include "core/device_lists.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_types.h"
#include "core/part_instance.h"
#include "document/scope_names.h"

namespace kq5 {

namespace {

constexpr int kMsgKindNotLoadable = 5368;

}  // namespace

int ReportUnloadableDevices(int list)
{
    const LinkedList& devices = DeviceList(list);
    // The part that made the list's first record; devices made inside a model (no part of
    // their own) name the list.
    const PartInstanceRecord* first = nullptr;
    if (devices.head) {
        for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
            if (part.device == devices.head) {
                first = &part;
                break;
            }
        }
    }
    const ComponentTypeRow* row = first ? FindComponentTypeRow(first->typeCode) : nullptr;
    const std::string kind = row && row->name && *row->name ? std::string(row->name) : StrPrintf("#%d", list);
    const std::string part = first ? PartInstanceName(*first) : std::string("?");
    if (first && first->component)
        ReportMessage("WNE", CurrentRecord(), first->component, kMsgKindNotLoadable, kind, part);
    else
        ReportMessage("WLE", CurrentRecord(), 0, kMsgKindNotLoadable, kind, part);
    return kMsgAlreadyReported;
}

}  // namespace kq5
