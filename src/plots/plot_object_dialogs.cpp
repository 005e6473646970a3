#include "plots/plot_object_dialogs.h"

#include "ui/prompt_dialog.h"
#include "results/plot_object.h"

namespace kq5 {

int RunAnalysisTextDialog(WindowRecord* record, PlotObject& object)
{
    PromptDialogDesc desc;
    desc.templateId = kAnalysisTextTemplate;
    desc.caption = "Analysis Text";
    desc.owner = record;
    desc.text = object.text;
    desc.font = object.font;
    desc.controls[kTextOpaqueCheck] = (object.style & kTextOpaque) ? 1 : 0;
    desc.controls[kTextBorderCheck] = (object.style & kTextBorder) ? 1 : 0;
    if (RunPromptDialog(desc) != 1) return 2;
    object.text = desc.text;
    object.font = desc.font;
    object.style = static_cast<std::uint16_t>(object.style & ~(kTextOpaque | kTextBorder));
    if (desc.controls[kTextOpaqueCheck]) object.style |= kTextOpaque;
    if (desc.controls[kTextBorderCheck]) object.style |= kTextBorder;
    return 1;
}

int EditPlotObjectDialog(WindowRecord* record, PlotObject& object)
{
    PromptDialogDesc desc;
    desc.templateId = kPlotObjectTemplate;
    desc.owner = record;
    desc.font = object.font;
    if (RunPromptDialog(desc) != 1) return 2;
    object.font = desc.font;
    return 1;
}

}  // namespace kq5
