#include "ui/tool_button_table.h"

#include <algorithm>
#include <string_view>

#include "ui/component_buttons.h"
#include "core/char_classes.h"

namespace kq5 {

namespace {

using R = ToolButtonRow;

// Table order matters: the bar lays its buttons out in it, and the last row is the palettes' list.
std::array<ToolButtonRow, kToolButtonRowCount> MakeRows()
{
    return {{
        // File
        R{"OPENFILE", 17102, 1010, 0, 0xA001, kGroupFile},
        R{"SAVEFILE", 17103, 1010, 1, 0xD3, kGroupFile},
        R{"SAVEAS", 17104, 0, 0, 0x1000D3, kGroupFile},
        R{"REVERT", 12506, 1010, 2, 0xD1, kGroupFile},
        R{"FILEDEL", 12508, 1010, 3, 0xA007, kGroupFile},
        R{"PPREVIEW", 12511, 1019, 1, 0x2003, kGroupFile},
        R{"PRINT", 12510, 1019, 0, 0x2003, kGroupFile},
        R{"PRTSETUP", 12509, 1019, 2, 0xA007, kGroupFile},
        R{"LBR2LIB", 17135, 1017, 6, 0x81, kGroupFile},
        R{"LIB2LBR", 17136, 1017, 4, 0x41, kGroupFile},
        R{"CIR2CKT", 17105, 1017, 7, 0x15, kGroupFile},
        R{"CIRVER1", 17137, 0, 0, 0x100011, kGroupFile},
        // Shape-editor pictures: never on a bar.
        R{"POLYCLOS", 17683, 1009, 0, 0, kGroupFile},
        R{"POLYOPEN", 17684, 1009, 1, 0, kGroupFile},
        R{"PAN", 17686, 1009, 2, 0, kGroupFile},
        R{"SELNEXT", 17696, 1009, 3, 0, kGroupFile},
        R{"DIP", 17693, 1009, 4, 0, kGroupFile},
        R{"TRANS", 17873, 1009, 5, 0, kGroupFile},
        R{"SOLID", 17874, 1009, 6, 0, kGroupFile},
        R{"SEVEN", 17699, 1009, 7, 0, kGroupFile},
        R{"LED", 17700, 1009, 8, 0, kGroupFile},
        R{"SWITCH", 17701, 1009, 10, 0, kGroupFile},
        // Edit
        R{"FINDCOMP", 17308, 1017, 5, 0x15, kGroupEdit},
        R{"COLOR", 17450, 1016, 1, 0x2003, kGroupEdit},
        R{"FONT", 17452, 1016, 2, 0x2007, kGroupEdit},
        R{"ATTDISP", 17212, 1016, 8, 0x15, kGroupEdit},
        R{"TOFRONT", 17694, 17694, 0, 0x11, kGroupEdit},
        R{"TOBACK", 17695, 17695, 0, 0x15, kGroupEdit},
        R{"UNDO", 17200, 1000, 0, 0x2003, kGroupEdit},
        R{"CUT", 17201, 1000, 1, 0x2003, kGroupEdit},
        R{"COPY", 17202, 1000, 2, 0x2003, kGroupEdit},
        R{"PASTE", 17203, 1000, 3, 0x2003, kGroupEdit},
        R{"CLEAR", 17204, 1000, 4, 0x2003, kGroupEdit},
        R{"SELECTAL", 17205, 1000, 5, 0x80457, kGroupEdit},  // text windows too: their text is selected
        R{"PAGEADD", 12200, 1017, 2, 0x20011, kGroupEdit},
        R{"PAGEDEL", 12201, 1017, 3, 0x20015, kGroupEdit},
        R{"FIND", 17213, 1016, 5, 0x2001, kGroupEdit},
        R{"REPEAT", 17216, 1017, 1, 0x2005, kGroupEdit},
        R{"MODEL", 17502, 1016, 3, 0x55, kGroupEdit},
        // Box
        R{"STEP", 17207, 1002, 0, 0x11, kGroupBox},
        R{"MIRROR", 17208, 1002, 1, 0x11, kGroupBox},
        R{"ROTATE", 17209, 1002, 2, 0x11, kGroupBox},
        R{"FLIPY", 17211, 1002, 3, 0x11, kGroupBox},
        R{"FILPX", 17210, 1002, 4, 0x15, kGroupBox},
        // Component buttons: user pictures 0 to 19
        R{"TCOMP01", 14200, 0, 0, 0x11, kGroupComponent},
        R{"TCOMP02", 14201, 1, 0, 0x11, kGroupComponent},
        R{"TCOMP03", 14202, 2, 0, 0x11, kGroupComponent},
        R{"TCOMP04", 14203, 3, 0, 0x11, kGroupComponent},
        R{"TCOMP05", 14204, 4, 0, 0x11, kGroupComponent},
        R{"TCOMP06", 14205, 5, 0, 0x11, kGroupComponent},
        R{"TCOMP07", 14206, 6, 0, 0x11, kGroupComponent},
        R{"TCOMP08", 14207, 7, 0, 0x11, kGroupComponent},
        R{"TCOMP09", 14208, 8, 0, 0x11, kGroupComponent},
        R{"TCOMP10", 14209, 9, 0, 0x11, kGroupComponent},
        R{"TCOMP11", 14210, 10, 0, 0x11, kGroupComponent},
        R{"TCOMP12", 14211, 11, 0, 0x11, kGroupComponent},
        R{"TCOMP13", 14212, 12, 0, 0x11, kGroupComponent},
        R{"TCOMP14", 14213, 13, 0, 0x11, kGroupComponent},
        R{"TCOMP15", 14214, 14, 0, 0x11, kGroupComponent},
        R{"TCOMP16", 14215, 15, 0, 0x11, kGroupComponent},
        R{"TCOMP17", 14216, 16, 0, 0x11, kGroupComponent},
        R{"TCOMP18", 14217, 17, 0, 0x11, kGroupComponent},
        R{"TCOMP19", 14218, 18, 0, 0x11, kGroupComponent},
        R{"TCOMP20", 14219, 19, 0, 0x15, kGroupComponent},
        // Windows
        R{"TILEH", 17303, 1006, 0, 0x22003, kGroupWindows},
        R{"TILEV", 17302, 1006, 1, 0x22003, kGroupWindows},
        R{"CASCADE", 17301, 1006, 2, 0x22003, kGroupWindows},
        R{"MAKEMAX", 17305, 1006, 3, 0x22007, kGroupWindows},
        R{"CALC", 17312, 1016, 0, 0xA007, kGroupWindows},
        R{"TOOLEDIT", 10185, 1017, 8, 0x2007, kGroupWindows},
        // Options
        R{"DIGALL", 17453, 1007, 2, 0x15, kGroupOptions},
        R{"PREF", 18410, 1014, 0, 0x2007, kGroupOptions},
        R{"GS", 18408, 1014, 1, 0x2005, kGroupOptions},
        R{"ZOOMIN", 17504, 1012, 0, 0xA0473, kGroupOptions},
        R{"ZOOMOUT", 17505, 1012, 1, 0xA0477, kGroupOptions},
        // Mode
        R{"SELECT", 17561, 1004, 0, 0x91673, kGroupMode},
        R{"COMP", 17562, 1004, 1, 0x11, kGroupMode},
        R{"TEXT", 17563, 1004, 2, 0x11, kGroupMode},
        R{"WIRE", 17564, 1004, 3, 0x11, kGroupMode},
        R{"WIRED", 17577, 1004, 4, 0x11, kGroupMode},
        R{"GRAPHIC", 17584, 1004, 6, 0x91413, kGroupMode},
        R{"LINE", 17566, 1004, 7, 0x91413, kGroupMode},
        R{"ELLIPSE", 17567, 1004, 8, 0x91413, kGroupMode},
        R{"RECT", 17568, 1004, 9, 0x91413, kGroupMode},
        R{"DIAM", 17569, 1004, 10, 0x91413, kGroupMode},
        R{"ARC", 17570, 1004, 11, 0x91413, kGroupMode},
        R{"PIE", 17575, 1004, 12, 0x91413, kGroupMode},
        R{"FLAG", 17576, 1004, 13, 0x11, kGroupMode},
        R{"META", 17585, 1004, 21, 0x11, kGroupMode},
        R{"SCALE", 17571, 1004, 14, 0x80402, kGroupMode},
        R{"CURSOR", 17572, 1004, 15, 0x90402, kGroupMode},
        R{"MEASUREH", 17579, 1004, 16, 0x80402, kGroupMode},
        R{"MEASUREV", 17580, 1004, 17, 0x80402, kGroupMode},
        R{"TAG", 17581, 1004, 18, 0x80402, kGroupMode},
        R{"TEXTABS", 17573, 1004, 19, 0x91402, kGroupMode},
        R{"TEXTREL", 17574, 1004, 20, 0x80402, kGroupMode},
        R{"INFO", 17578, 1016, 7, 0x51, kGroupMode},
        R{"HELP", 17565, 1016, 6, 0x73, kGroupMode},
        R{"DIGTRC", 17582, 1007, 0, 0x11, kGroupMode},
        R{"DIGTRC2", 17583, 1007, 1, 0x15, kGroupMode},
        // View
        R{"GRIDTEXT", 17402, 1001, 0, 0x33, kGroupView},
        R{"COMPTEXT", 17400, 1001, 1, 0x33, kGroupView},
        R{"NODE", 17403, 1001, 2, 0x33, kGroupView},
        R{"NODEV", 17404, 1001, 3, 0x33, kGroupView},
        R{"PIN", 17405, 1001, 4, 0x33, kGroupView},
        R{"COMMAND", 17401, 1001, 5, 0x33, kGroupView},
        R{"CROSS", 17408, 1001, 6, 0x33, kGroupView},
        R{"GRID", 17409, 1001, 7, 0x33, kGroupView},
        R{"BORDER", 17406, 1001, 8, 0x33, kGroupView},
        R{"TITLE", 17407, 1001, 9, 0x37, kGroupView},
        // Analysis
        R{"LIMITS", 16060, 1015, 1, 0x82706, kGroupAnalysis},
        R{"STEPPING", 17150, 1015, 3, 0x2706, kGroupAnalysis},
        R{"AGRAPH", 17152, 1015, 0, 0x2602, kGroupAnalysis},
        R{"ADETAILS", 15679, 1018, 9, 0x2606, kGroupAnalysis},
        R{"AOUTPUT", 17151, 1008, 2, 0x2606, kGroupAnalysis},
        R{"VID", 17153, 1015, 2, 0x2606, kGroupAnalysis},
        R{"MCOP", 17158, 1015, 4, 0x2702, kGroupAnalysis},
        R{"MCADD", 17157, 1018, 6, 0x2702, kGroupAnalysis},
        R{"MCCHNG", 17163, 1018, 7, 0x2702, kGroupAnalysis},
        R{"MCDEL", 17181, 1018, 8, 0x2706, kGroupAnalysis},
        R{"START", 16059, 1011, 0, 0x2002, kGroupAnalysis},
        R{"STOP", 18613, 1011, 1, 0x2002, kGroupAnalysis},
        R{"PAUSE", 16058, 1011, 2, 0x2106, kGroupAnalysis},
        R{"G3DADD", 14600, 1018, 3, 0x2102, kGroupAnalysis},
        R{"G3DCHNGE", 14601, 1018, 4, 0x2102, kGroupAnalysis},
        R{"G3DDEL", 14602, 1018, 5, 0x2106, kGroupAnalysis},
        R{"PERFADD", 14570, 1018, 0, 0x2102, kGroupAnalysis},
        R{"PERFCHNG", 14571, 1018, 1, 0x2102, kGroupAnalysis},
        R{"PERFDEL", 14572, 1018, 2, 0x2106, kGroupAnalysis},
        // Scope
        R{"DATAPTS", 18400, 1003, 0, 0x80602, kGroupScope},
        R{"RULER", 18401, 1003, 1, 0x80602, kGroupScope},
        R{"TOKENS", 18402, 1003, 2, 0x80602, kGroupScope},
        R{"XAXIS", 18403, 1003, 3, 0x80602, kGroupScope},
        R{"YAXIS", 18404, 1003, 4, 0x80602, kGroupScope},
        R{"MINORLOG", 18405, 1003, 5, 0x90602, kGroupScope},
        R{"BASELINE", 18406, 1017, 0, 0x80606, kGroupScope},
        R{"GOTOX", 17182, 1013, 0, 0xD0402, kGroupScope},
        R{"GOTOY", 17183, 1013, 1, 0xD0402, kGroupScope},
        R{"GOTOPERF", 17190, 1013, 2, 0xD0406, kGroupScope},
        R{"ANIMATE", 17171, 17171, 0, 0x2106, kGroupScope},
        // Cursor
        R{"NEXT", 18670, 1005, 0, 0x90402, kGroupCursor},
        R{"PEAK", 18671, 1005, 1, 0x90402, kGroupCursor},
        R{"VALLEY", 18672, 1005, 2, 0x90402, kGroupCursor},
        R{"HIGH", 18673, 1005, 3, 0x90402, kGroupCursor},
        R{"LOW", 18674, 1005, 4, 0x90402, kGroupCursor},
        R{"INFLECTN", 18675, 1005, 5, 0x90402, kGroupCursor},
        R{"GHIGH", 18676, 1005, 6, 0x90402, kGroupCursor},
        R{"GLOW", 18677, 1005, 7, 0x90406, kGroupCursor},
        // The palettes' list box
        R{"", 102, 0, 0, 0x11, kGroupFile},
    }};
}

std::array<ToolButtonRow, kToolButtonRowCount>& Rows()
{
    static std::array<ToolButtonRow, kToolButtonRowCount> rows = MakeRows();
    return rows;
}

constexpr const char* kDefaultHidden[] = {
    "PRTSETUP", "DIGTRC",  "DIGALL",  "DIGTRC2", "ADETAILS", "REPEAT",   "MCADD",   "MCCHNG",
    "MCDEL",    "G3DADD",  "G3DCHNGE", "G3DDEL", "PERFADD",  "PERFCHNG", "PERFDEL", "LINE",
    "ELLIPSE",  "RECT",    "DIAM",    "ARC",     "PIE",      "PAGEADD",  "PAGEDEL", "TOOLEDIT",
    "LBR2LIB",  "LIB2LBR", "CIR2CKT", "FILEDEL", "SELECTAL", "MINORLOG",
};

}  // namespace

std::span<ToolButtonRow> ToolButtonRows() { return Rows(); }

void ResetToolButtonRowsForTests()
{
    Rows() = MakeRows();
    SetDefaultToolButtonChoice();
}

int FindToolButton(std::uint32_t command)
{
    const auto& rows = Rows();
    for (int i = 0; i < kToolButtonRowCount; ++i) {
        if (rows[static_cast<std::size_t>(i)].command == command) return i;
    }
    return -1;
}

bool IsComponentButtonRow(const ToolButtonRow& row) { return row.group == kGroupComponent; }

std::uint32_t ToolCommandOf(std::uint32_t buttonId)
{
    int index = FindToolButton(buttonId);
    if (index >= 0 && IsComponentButtonRow(Rows()[static_cast<std::size_t>(index)]))
        return Rows()[static_cast<std::size_t>(index)].componentCommand;
    return buttonId;
}

std::span<const char* const> DefaultHiddenToolButtons() { return kDefaultHidden; }

void ApplyDefaultToolButtonChoice(bool workingCopies)
{
    for (ToolButtonRow& row : Rows()) {
        std::uint8_t& schematic = workingCopies ? row.dlgSchematic : row.onSchematic;
        std::uint8_t& analysis = workingCopies ? row.dlgAnalysis : row.onAnalysis;
        schematic = (row.flags & kToolOnSchematicBar) ? 1 : 0;
        analysis = (row.flags & kToolOnAnalysisBar) ? 1 : 0;
        if (IsComponentButtonRow(row) && ComponentButtonName(static_cast<int>(row.bitmap), workingCopies).empty())
            schematic = analysis = 0;
        for (std::string_view hidden : kDefaultHidden) {
            if (hidden == row.name) schematic = analysis = 0;
        }
    }
}

void SetDefaultToolButtonChoice()
{
    ResetComponentButtonPictures(false);
    ApplyDefaultToolButtonChoice(false);
}

}  // namespace kq5
