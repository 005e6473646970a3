#include "netlist/message_reporter_services.h"

#include "core/message_reporter.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "document/scope_table.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_text_object.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"

namespace kq5 {

void InstallMessageReporterServices() {
    MessageReporterServicesState& services = MessageReporterServices();
    services.frameRecord = [] { return FrameRecord(); };
    services.isLiveRecord = [](const WindowRecord* record) { return IsLiveWindowRecord(record); };
    services.newDialogRecord = [](win::HWND dialog) {
        WindowRecord* record = NewWindowRecord(nullptr, kWindowPlainDialog);
        if (record) record->window = dialog;
        return record;
    };
    services.freeDialogRecord = [](WindowRecord*& record) { FreeWindowRecord(record); };
    services.partScope = [](const SchematicItem* part) { return static_cast<int>(part->scope); };
    services.partName = [](const SchematicItem* part) -> std::optional<std::string> {
        if (const ComponentAttribute* attribute = FindAttribute(part, kAttrPart)) return attribute->value;
        return std::nullopt;
    };
    services.lineScope = [](const CircuitTextObject* line) { return static_cast<int>(line->scope); };
    services.lineText = [](const CircuitTextObject* line) { return line->text; };
    services.findScope = [](int scope) -> std::optional<MessageScope> {
        if (const SubcktScope* entry = FindScope(scope)) return MessageScope{ScopePath(scope), entry->fileName};
        return std::nullopt;
    };
    services.soundOn = [] { return (OptionFlags() & kOptionSound) != 0; };
    services.showBox = [](const MessageContext& context) { return MessageBoxDialog(context); };
    services.showPartLocation = [](const SchematicItem* part) { ShowErrorLocation(part); };
    services.showLineLocation = [](const CircuitTextObject* line) { ShowErrorLocation(line); };
}

}  // namespace kq5
