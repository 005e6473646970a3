// The expression choices put into popup menus and list boxes, on the headless platform.
#include <gtest/gtest.h>

#include <string>

#include "core/expr_symbols.h"
#include "core/device_record_fields.h"
#include "core/expr_symbol_lists.h"
#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/window.h"

namespace kq5 {
namespace {

class ExpressionSymbolListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(800, 600);
        ResetDevicesStateForTests();
        DeviceRecordFields q1;
        q1.label = "Q1";
        q1.families = kFamilyBipolar;
        DeviceRecordFields r1;
        r1.label = "R1";
        r1.families = kFamilyResistor;
        Devices().recordFields = {q1, r1};
    }
    void TearDown() override
    {
        ResetDevicesStateForTests();
        win::ResetPlatformForTests(800, 600);
    }
};

TEST_F(ExpressionSymbolListsTest, MenusTakeRunningIdsAndBreakColumns)
{
    win::UINT nextId = 500;
    const int functionCount = static_cast<int>(ExpressionSymbolEntries(kClassFunction).size());
    ExpressionSymbolList counted = ListExpressionSymbols(kClassFunction, nullptr, kSymbolListCount, nextId);
    EXPECT_EQ(counted.menu, nullptr);
    EXPECT_EQ(counted.count, functionCount);
    EXPECT_EQ(nextId, 500u);  // counting takes no ids

    ExpressionSymbolList functions = ListExpressionSymbols(kClassFunction, nullptr, kSymbolListMenu, nextId);
    ASSERT_NE(functions.menu, nullptr);
    EXPECT_EQ(functions.count, functionCount);
    EXPECT_EQ(win::GetMenuItemCount(functions.menu), functionCount);
    EXPECT_EQ(nextId, 500u + static_cast<win::UINT>(functionCount));
    EXPECT_EQ(win::GetMenuItemID(functions.menu, 0), 500u);
    EXPECT_NE(win::GetMenuString(functions.menu, 0, win::MF_BYPOSITION), "");
    bool sawBaseCurrent = false;
    for (int i = 0; i < functionCount; ++i) {
        const win::UINT state = win::GetMenuState(functions.menu, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        EXPECT_EQ((state & win::MF_MENUBARBREAK) != 0, i > 0 && i % 10 == 0) << i;
        if (win::GetMenuString(functions.menu, static_cast<win::UINT>(i), win::MF_BYPOSITION) == "IB(Q1)")
            sawBaseCurrent = true;
    }
    EXPECT_TRUE(sawBaseCurrent);

    // The operator menu goes on from where the last menu stopped, "&" doubled so it shows.
    const win::UINT firstOperatorId = nextId;
    ExpressionSymbolList operators = ListExpressionSymbols(0, nullptr, kSymbolListOperatorMenu, nextId);
    ASSERT_NE(operators.menu, nullptr);
    EXPECT_EQ(operators.count, 25);
    EXPECT_EQ(win::GetMenuItemID(operators.menu, 0), firstOperatorId);
    EXPECT_EQ(win::GetMenuString(operators.menu, 14, win::MF_BYPOSITION), "&&");
    EXPECT_NE(win::GetMenuState(operators.menu, 9, win::MF_BYPOSITION) & win::MF_MENUBARBREAK, 0u);
    EXPECT_EQ(win::GetMenuState(operators.menu, 8, win::MF_BYPOSITION) & win::MF_MENUBARBREAK, 0u);
    EXPECT_TRUE(win::DestroyMenu(functions.menu));
    EXPECT_TRUE(win::DestroyMenu(operators.menu));
}

TEST_F(ExpressionSymbolListsTest, ListBoxGetsEveryEntryAndBadTargetsAddNothing)
{
    win::UINT nextId = 1;
    win::HWND box = win::CreateWindowEx(0, win::kListBoxClass, "", win::WS_POPUP | win::WS_VISIBLE, 0, 0, 200, 300,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    ExpressionSymbolList operands = ListExpressionSymbols(kClassOperand, box, kSymbolListBox, nextId);
    EXPECT_EQ(operands.menu, nullptr);
    EXPECT_EQ(operands.count, static_cast<int>(ExpressionSymbolEntries(kClassOperand).size()));
    EXPECT_EQ(win::SendMessage(box, win::LB_GETCOUNT, 0, 0), operands.count);
    std::string first(static_cast<std::size_t>(win::SendMessage(box, win::LB_GETTEXTLEN, 0, 0)) + 1, '\0');
    win::SendMessage(box, win::LB_GETTEXT, 0, reinterpret_cast<win::LPARAM>(first.data()));
    EXPECT_EQ(first.c_str(), std::string("TMIN"));
    EXPECT_EQ(nextId, 1u);

    win::DestroyWindow(box);
    EXPECT_EQ(ListExpressionSymbols(kClassOperand, box, kSymbolListBox, nextId).count, 0);
    EXPECT_EQ(ListExpressionSymbols(kClassOperand, nullptr, kSymbolListBox, nextId).count, 0);
}

}  // namespace
}  // namespace kq5
