// Printer DCs and print jobs: pages drawn into an image, written into a PDF by Cairo.
#include <cairo-pdf.h>
#include <strings.h>

#include <cstdio>

#include "platform/gdi_dc.h"
#include "platform/gdi_raster.h"
#include "platform/print.h"
#include "platform/replacing_file.h"
#include "platform/text_render.h"

namespace win {

namespace {

// Glyphs drawn on a printer page, written into the PDF as text over the page's picture.
struct PrintedText {
    cairo_scaled_font_t* font = nullptr;  // referenced
    std::vector<cairo_glyph_t> glyphs;
    std::uint32_t rgb = 0;
    std::vector<RECT> clip;
};

struct PrinterDevice : DcExtension {
    ~PrinterDevice() override {
        ClearTexts();
        Drop();
        if (page != nullptr) cairo_surface_destroy(page);
        if (idle != nullptr) cairo_surface_destroy(idle);
    }

    void ClearTexts() {
        for (PrintedText& t : texts) cairo_scaled_font_destroy(t.font);
        texts.clear();
    }

    // Ends a job without a file: everything written so far is removed.
    void Drop() {
        if (pdf != nullptr) {
            cairo_surface_finish(pdf);
            cairo_surface_destroy(pdf);
            pdf = nullptr;
        }
        if (file != nullptr) {
            DiscardReplacingFile(tempName);
            std::fclose(file);
            file = nullptr;
        }
        inDoc = false;
        inPage = false;
    }

    DEVMODE devMode;
    PrinterPage geometry;
    std::string output;  // from CreateDC
    ABORTPROC abortProc = nullptr;
    cairo_surface_t* idle = nullptr;  // the DC's surface between pages (nothing shows)
    cairo_surface_t* page = nullptr;  // the printable area of the current page
    bool inDoc = false;
    bool inPage = false;
    bool failed = false;    // a write failed: the job cannot end well
    bool dropped = false;   // the abort procedure stopped the job
    int bandsGiven = 0;
    std::FILE* file = nullptr;
    std::string tempName;
    std::string finalName;
    cairo_surface_t* pdf = nullptr;
    std::vector<PrintedText> texts;  // of the current page
};

PrinterDevice* DeviceOf(HDC dc) {
    if (!IsValidDC(dc) || dc->kind != DeviceKind::Printer) return nullptr;
    return dynamic_cast<PrinterDevice*>(dc->extension.get());
}

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* dev = static_cast<PrinterDevice*>(closure);
    if (dev->file == nullptr || std::fwrite(data, 1, length, dev->file) != length) {
        dev->failed = true;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

double Points(int pixels) { return pixels * 72.0 / kPrinterDpi; }

DeviceCapsInfo PrinterCaps(const PrinterPage& page) {
    DeviceCapsInfo caps;
    caps.technology = DT_RASPRINTER;
    caps.horzRes = page.printableWidth;
    caps.vertRes = page.printableHeight;
    caps.horzSizeMm = static_cast<int>(page.printableWidth * 25.4 / kPrinterDpi + 0.5);
    caps.vertSizeMm = static_cast<int>(page.printableHeight * 25.4 / kPrinterDpi + 0.5);
    caps.logPixelsX = kPrinterDpi;
    caps.logPixelsY = kPrinterDpi;
    caps.bitsPixel = 24;
    caps.numColors = -1;
    caps.rasterCaps = RC_BITBLT | RC_BITMAP64 | RC_STRETCHBLT;
    caps.physicalWidth = page.paperWidth;
    caps.physicalHeight = page.paperHeight;
    caps.physicalOffsetX = page.offsetX;
    caps.physicalOffsetY = page.offsetY;
    return caps;
}

// Where a job's PDF goes: the name given to StartDoc, else the one chosen in the print dialog,
// else a file name given to CreateDC, else the question.
std::optional<std::string> OutputFor(const PrinterDevice& dev, const DOCINFO& info) {
    if (!info.lpszOutput.empty()) return info.lpszOutput;
    PrintState& s = Printing();
    if (s.pendingOutput) {
        std::optional<std::string> chosen = std::move(s.pendingOutput);
        s.pendingOutput.reset();
        return chosen;
    }
    if (!dev.output.empty() && dev.output.back() != ':') return dev.output;
    return AskForPrintFile(nullptr, info.lpszDocName);
}

}  // namespace

HDC CreateDC(const char* driver, const char* device, const char* output, const DEVMODE* devMode) {
    if (device == nullptr || strcasecmp(device, kPrinterDevice) != 0) return nullptr;
    auto dev = std::make_unique<PrinterDevice>();
    dev->devMode = devMode != nullptr ? *devMode : DefaultDevMode();
    dev->geometry = PrinterPageFor(dev->devMode);
    if (output != nullptr) dev->output = output;
    dev->idle = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    HDC dc = CreateDeviceDC(DeviceKind::Printer, dev->idle, Region(), PrinterCaps(dev->geometry));
    if (dc == nullptr) return nullptr;
    dc->extension = std::move(dev);
    return dc;
}

int StartDoc(HDC dc, const DOCINFO* info) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr || info == nullptr || dev->inDoc) return SP_ERROR;
    std::optional<std::string> target = OutputFor(*dev, *info);
    if (!target) return SP_ERROR;
    dev->finalName = *target;
    // The PDF takes the target's place only when the job ends well; a killed program leaves
    // neither a temporary nor a damaged file.
    dev->file = CreateReplacingFile(dev->finalName, dev->tempName);
    if (dev->file == nullptr) return SP_ERROR;
    dev->failed = false;
    dev->dropped = false;
    const PrinterPage& g = dev->geometry;
    dev->pdf = cairo_pdf_surface_create_for_stream(WriteToFile, dev, Points(g.paperWidth), Points(g.paperHeight));
    if (cairo_surface_status(dev->pdf) != CAIRO_STATUS_SUCCESS) {
        dev->Drop();
        return SP_ERROR;
    }
    if (!info->lpszDocName.empty()) {
        cairo_pdf_surface_set_metadata(dev->pdf, CAIRO_PDF_METADATA_TITLE, Cp1252ToUtf8(info->lpszDocName).c_str());
    }
    cairo_pdf_surface_set_metadata(dev->pdf, CAIRO_PDF_METADATA_CREATOR, "Kestrion V");
    dev->inDoc = true;
    return Printing().nextJob++;
}

int StartPage(HDC dc) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr || !dev->inDoc || dev->inPage) return SP_ERROR;
    const PrinterPage& g = dev->geometry;
    // A new image for every page: the PDF may still refer to the last one.
    if (dev->page != nullptr) cairo_surface_destroy(dev->page);
    dev->page = cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.printableWidth, g.printableHeight);
    if (cairo_surface_status(dev->page) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(dev->page);
        dev->page = nullptr;
        return SP_OUTOFMEMORY;
    }
    {
        PixelAccess px(dev->page);
        for (int y = 0; y < px.Height(); ++y) std::fill_n(px.Row(y), px.Width(), 0xFFFFFFFFu);
    }
    dc->surface = dev->page;
    dc->visRgn = Region(0, 0, g.printableWidth, g.printableHeight);
    dev->ClearTexts();
    dev->inPage = true;
    dev->bandsGiven = 0;
    return 1;
}

int EndPage(HDC dc) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr || !dev->inPage) return SP_ERROR;
    struct TextsCleared {
        PrinterDevice* dev;
        ~TextsCleared() { dev->ClearTexts(); }
    } cleared{dev};
    dev->inPage = false;
    dc->surface = dev->idle;
    dc->visRgn = Region();
    const PrinterPage& g = dev->geometry;
    cairo_pdf_surface_set_size(dev->pdf, Points(g.paperWidth), Points(g.paperHeight));
    const int copies = std::max<int>(1, dev->devMode.dmCopies);
    for (int i = 0; i < copies; ++i) {
        cairo_t* cr = cairo_create(dev->pdf);
        cairo_scale(cr, 72.0 / kPrinterDpi, 72.0 / kPrinterDpi);
        cairo_set_source_surface(cr, dev->page, g.offsetX, g.offsetY);
        // Device pixels stay sharp at any zoom: no smoothing between them.
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        // The page's text again as text, exactly over its picture: readers can find and copy it.
        cairo_translate(cr, g.offsetX, g.offsetY);
        for (const PrintedText& t : dev->texts) {
            if (t.clip.empty() || t.glyphs.empty()) continue;
            cairo_save(cr);
            for (const RECT& r : t.clip) cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
            cairo_clip(cr);
            cairo_set_source_rgb(cr, ((t.rgb >> 16) & 0xFF) / 255.0, ((t.rgb >> 8) & 0xFF) / 255.0, (t.rgb & 0xFF) / 255.0);
            cairo_set_scaled_font(cr, t.font);
            cairo_show_glyphs(cr, t.glyphs.data(), static_cast<int>(t.glyphs.size()));
            cairo_restore(cr);
        }
        cairo_show_page(cr);
        cairo_destroy(cr);
    }
    if (dev->failed || cairo_surface_status(dev->pdf) != CAIRO_STATUS_SUCCESS) {
        dev->failed = true;
        return SP_OUTOFDISK;
    }
    if (dev->abortProc != nullptr && !dev->abortProc(dc, 0)) {
        dev->Drop();
        dev->dropped = true;
        return SP_APPABORT;
    }
    return 1;
}

int EndDoc(HDC dc) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr || !dev->inDoc) return SP_ERROR;
    if (dev->inPage) EndPage(dc);
    if (!dev->inDoc) return SP_ERROR;  // the abort procedure stopped it at that last page
    cairo_surface_finish(dev->pdf);
    bool ok = !dev->failed && cairo_surface_status(dev->pdf) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(dev->pdf);
    dev->pdf = nullptr;
    if (ok)
        ok = CommitReplacingFile(dev->file, dev->tempName, dev->finalName);
    else
        DiscardReplacingFile(dev->tempName);
    ok = std::fclose(dev->file) == 0 && ok;
    dev->file = nullptr;
    dev->inDoc = false;
    return ok ? 1 : SP_ERROR;
}

int AbortDoc(HDC dc) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr) return SP_ERROR;
    if (!dev->inDoc && !dev->dropped) return SP_ERROR;
    dev->Drop();
    dev->dropped = false;
    dc->surface = dev->idle;
    dc->visRgn = Region();
    return 1;
}

int SetAbortProc(HDC dc, ABORTPROC proc) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr) return SP_ERROR;
    dev->abortProc = proc;
    return 1;
}

int Escape(HDC dc, int escape, int inCount, const void* in, void* out) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr) return 0;
    switch (escape) {
        case QUERYESCSUPPORT: {
            if (in == nullptr || inCount < static_cast<int>(sizeof(int))) return 0;
            int asked = *static_cast<const int*>(in);
            return asked == NEXTBAND || asked == QUERYESCSUPPORT ? 1 : 0;
        }
        case NEXTBAND: {
            if (!dev->inPage || out == nullptr) return SP_ERROR;
            auto* band = static_cast<RECT*>(out);
            // The whole page is one band.
            *band = dev->bandsGiven++ == 0 ? RECT{0, 0, dev->geometry.printableWidth, dev->geometry.printableHeight} : RECT{};
            return 1;
        }
        default: return 0;
    }
}

void AddPrinterTextRun(HDC dc, cairo_scaled_font_t* font, std::vector<cairo_glyph_t> glyphs, std::uint32_t rgb,
                       std::vector<RECT> clip) {
    PrinterDevice* dev = DeviceOf(dc);
    if (dev == nullptr || !dev->inPage || font == nullptr) return;
    dev->texts.push_back({cairo_scaled_font_reference(font), std::move(glyphs), rgb, std::move(clip)});
}

}  // namespace win

