#include "plots/plot_print.h"

#include "document/print_job.h"
#include "plots/plot_view.h"
#include "results/curve_record.h"
#include "ui/window_record.h"
#include "platform/paint.h"

namespace kq5 {

void PrintPlotWindow(WindowRecord* record, win::HDC dc, const win::RECT* area)
{
    if (record == nullptr || !record->plot) return;
    const bool ownJob = dc == nullptr;
    if (ownJob) {
        dc = StartPrintJob(record);
        if (dc == nullptr) return;
    }
    const win::RECT rect = area ? *area : PrintableRect(dc);
    auto draw = [&] {
        DrawPrintFrame(dc, record, rect, false);
        record->plot->pageRect = rect;
        DrawWindowByType(record, dc);
        record->plot->pageRect = win::RECT{};
    };
    if (ownJob) {
        PrintJobPage(dc, draw);
        EndPrintJob();
    } else {
        draw();
    }
    // The layout was made for the printer: the screen gets its own back.
    if (record->window) win::InvalidateRect(record->window, nullptr, 1);
}

}  // namespace kq5
