#include "core/expr_symbol_lists.h"

#include <vector>

#include "core/expr_symbols.h"
#include "platform/controls.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/window.h"

namespace kq5 {

namespace {

ExpressionSymbolList FillMenu(const std::vector<ExpressionSymbolEntry>& entries, win::UINT& nextMenuId)
{
    ExpressionSymbolList result;
    result.menu = win::CreatePopupMenu();
    if (result.menu == nullptr) return result;
    for (const ExpressionSymbolEntry& e : entries) {
        const win::UINT flags = win::MF_STRING | (e.newColumn ? win::MF_MENUBARBREAK : 0);
        if (!win::AppendMenu(result.menu, flags, nextMenuId, e.text.c_str())) break;
        ++nextMenuId;
        ++result.count;
    }
    return result;
}

}  // namespace

ExpressionSymbolList ListExpressionSymbols(int bindingClass, win::HWND listBox, int mode, win::UINT& nextMenuId)
{
    if (mode == kSymbolListOperatorMenu) return FillMenu(ExpressionOperatorEntries(), nextMenuId);
    const std::vector<ExpressionSymbolEntry> entries = ExpressionSymbolEntries(bindingClass);
    if (mode == kSymbolListMenu) return FillMenu(entries, nextMenuId);

    ExpressionSymbolList result;
    if (mode != kSymbolListBox) {
        result.count = static_cast<int>(entries.size());
        return result;
    }
    if (!win::IsWindow(listBox)) return result;
    for (const ExpressionSymbolEntry& e : entries) {
        const win::LRESULT at = win::SendMessage(listBox, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(e.text.c_str()));
        if (at < 0) break;  // LB_ERR or LB_ERRSPACE: the box is full
        ++result.count;
    }
    return result;
}

}  // namespace kq5
