#pragma once
// The expression choices offered by the Analysis Limits dialog: the names of one binding
// class (operands, functions, device quantities per labelled device) or the operators, counted,
// put into a new popup menu or appended to a list box.
#include "platform/win_types.h"

namespace kq5 {

enum ExpressionSymbolListMode : int {
    kSymbolListCount = 0,         // count the entries only
    kSymbolListMenu = 1,          // a new popup menu of the binding class
    kSymbolListBox = 2,           // append the entries to a list box
    kSymbolListOperatorMenu = 3,  // a new popup menu of every operator
};

struct ExpressionSymbolList {
    win::HMENU menu = nullptr;  // the new popup menu (menu modes; null when it could not be made)
    int count = 0;              // entries counted, added to the menu or to the list box
};

// Builds the choices of one binding class (the class is ignored by the operator menu). `listBox`
// is used by kSymbolListBox only. Menu items take their command ids from `nextMenuId`, which
// advances by one per item, so that several menus built in a row never share an id. The caller
// owns a menu it gets (it is destroyed with the menu it is put into, or by DestroyMenu).
ExpressionSymbolList ListExpressionSymbols(int bindingClass, win::HWND listBox, int mode, win::UINT& nextMenuId);

}  // namespace kq5
