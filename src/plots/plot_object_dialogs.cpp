#include "plots/plot_object_dialogs.h"

#include "app/prompt_dialog.h"
#include "plots/plot_object.h"

namespace kq5 {

int RunAnalysisTextDialog(WindowRecord* record, PlotObject& object)
{
    PromptDialogDesc desc;
    desc.templateId = kAnalysisTextTemplate;
    desc.caption = "Analysis Text";
    desc.owner = record;
    desc.text = object.text;
    desc.font = object.font;
    if (RunPromptDialog(desc) != 1) return 2;
    object.text = desc.text;
    object.font = desc.font;
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
