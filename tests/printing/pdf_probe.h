#pragma once
// Reading printed PDFs back with poppler's tools: the page count (pdfinfo) and one page as pixels
// (pdftoppm at the printer's resolution), with its lines of text found as bands of inked rows.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../platform/external_tool_support.h"
#include "app/printing.h"
#include "platform/print.h"

namespace kq5::testing {

inline int PdfPageCount(const std::string& pdf)
{
    std::string out;
    if (win::testing::RunCommand("pdfinfo '" + pdf + "'", out) != 0) return -1;
    const std::size_t at = out.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(out.substr(at + 6));
}


// One page at 300 dots per inch: one printer pixel is one raster pixel.
struct PdfRaster {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool Load(const std::string& pdf, int page)
    {
        const std::string prefix = pdf + ".page" + std::to_string(page);
        std::string log;
        const std::string p = std::to_string(page);
        if (win::testing::RunCommand("pdftoppm -r 300 -f " + p + " -l " + p + " -singlefile '" + pdf + "' '" + prefix + "'",
                                     log) != 0)
            return false;
        std::ifstream ppm(prefix + ".ppm", std::ios::binary);
        std::string magic;
        int maxValue = 0;
        ppm >> magic >> width >> height >> maxValue;
        ppm.get();
        rgb.resize(static_cast<std::size_t>(width) * height * 3);
        ppm.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
        return static_cast<bool>(ppm);
    }
    struct Band {
        int top = 0;
        int bottom = 0;
        int left = 0;
        int right = 0;
    };
    // Runs of rows with ink, each with the columns its ink spans.
    std::vector<Band> Bands() const
    {
        std::vector<Band> bands;
        bool open = false;
        for (int y = 0; y < height; ++y) {
            int left = width, right = -1;
            for (int x = 0; x < width; ++x) {
                const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                if (p[0] + p[1] + p[2] < 600) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
            if (right < 0) {
                open = false;
                continue;
            }
            if (!open) bands.push_back({y, y, left, right});
            open = true;
            Band& b = bands.back();
            b.bottom = y;
            b.left = std::min(b.left, left);
            b.right = std::max(b.right, right);
        }
        return bands;
    }
    // Pixels darker than light grey inside the box (paper coordinates).
    int Ink(int left, int top, int right, int bottom) const
    {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
                const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                if (p[0] + p[1] + p[2] < 600) ++count;
            }
        }
        return count;
    }
};

inline void RequirePoppler()
{
    ASSERT_TRUE(win::testing::ToolInstalled("pdftoppm") && win::testing::ToolInstalled("pdfinfo"))
        << win::testing::kPopplerMissing;
}

// A fixture of the given kind with the PDF printer's state fresh before the test and after it.
template <class Base>
class WithPdfPrinter : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        RequirePoppler();
        win::ResetPrintStateForTests();
        PrintFreeSetup();
    }
    void TearDown() override
    {
        PrintFreeSetup();
        win::ResetPrintStateForTests();
        Base::TearDown();
    }
};

}  // namespace kq5::testing
