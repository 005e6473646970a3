#pragma once
// A text circuit window ("ckt") standing on its own over a fresh headless platform, with its
// editor filling the client area and holding the keyboard focus; keys and clicks are injected
// and pumped.
#include <gtest/gtest.h>

#include <string>

#include "ui/app_state.h"
#include "schematic/find_replace.h"
#include "app/frame_window.h"
#include "document/text_area.h"
#include "document/text_editor.h"
#include "document/text_editor_internal.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/document_services.h"
#include "platform/clipboard.h"
#include "platform/global_memory.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(800, 600);
        InitCharClasses();
        ResetAll();
        InstallFrameServices();
        window_ = CreateMdiChild(kTextCircuitClassName, "typed.cir", kWindowTextCircuit);
        ASSERT_NE(window_, nullptr);
        record_ = GetWindowRecord(window_);
        ASSERT_NE(record_, nullptr);
        editor_ = record_->document->textAreaWindow;
        ASSERT_NE(editor_, nullptr);
        record_->document->textBackgroundColor = 15;
        record_->document->textCommentColor = 2;
        record_->font.color = 0;
        win::MoveWindow(window_, 10, 10, 500, 320, 1);
        win::ShowWindow(window_, win::SW_SHOW);
        FitEditor();
        win::SetFocus(editor_);
        Pump();
    }
    void TearDown() override
    {
        if (win::IsWindow(window_)) win::DestroyWindow(window_);
        ResetAll();
        win::ResetPlatformForTests(800, 600);
    }
    static void ResetAll()
    {
        ResetAppStateForTests();
        ResetDocumentStateForTests();
        ResetDocumentServicesForTests();
        ResetTextEditorsForTests();
        ResetFindReplaceForTests();
        win::ResetClipboardStateForTests();
        win::ClearMessageBoxLog();
    }

    void FitEditor()
    {
        win::RECT client{};
        win::GetClientRect(window_, &client);
        win::MoveWindow(editor_, 0, 0, client.right, client.bottom, 1);
    }
    static void Pump() { win::headless::RunUntilIdle(); }
    void Type(const std::string& text)
    {
        win::SetFocus(editor_);
        win::headless::TypeText(text);
        Pump();
    }
    void Key(int vk, bool ctrl = false, bool shift = false)
    {
        win::headless::PressKeyWithModifiers(vk, ctrl, shift);
        Pump();
    }
    void Command(int id) { win::SendMessage(editor_, win::WM_COMMAND, static_cast<win::WPARAM>(id), 0); }
    void SetText(const std::string& text) { win::SendMessage(editor_, win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>(text.c_str())); }
    TxtEditRecord& Editor() { return *GetTxtEditRecord(editor_); }
    const std::string& Text() const { return record_->textArea; }
    std::int32_t Caret() { return EditorCaret(Editor()); }
    std::pair<std::int32_t, std::int32_t> Selection()
    {
        std::int32_t start = -1;
        std::int32_t end = -1;
        GetEditorSelection(editor_, &start, &end);
        return {start, end};
    }
    std::string ClipboardText()
    {
        std::string text;
        if (win::OpenClipboard(nullptr)) {
            win::ClipboardHandle data = win::GetClipboardData(win::CF_TEXT);
            if (data.Global()) text.assign(win::GlobalText(data.Global()));
            win::CloseClipboard();
        }
        return text;
    }
    static std::size_t Beeps() { return win::MessageBeepLog().size(); }
    // The client point of a screen cell's middle.
    win::POINT CellPoint(int column, int row)
    {
        return win::POINT{column * Editor().charWidth + Editor().charWidth / 2, row * Editor().lineHeight + Editor().lineHeight / 2};
    }
    void ClickCell(int column, int row)
    {
        win::POINT p = CellPoint(column, row);
        win::ClientToScreen(editor_, &p);
        win::headless::Click(p.x, p.y);
        win::headless::AdvanceClock(1000);
        Pump();
    }

    win::HWND window_ = nullptr;
    WindowRecord* record_ = nullptr;
    win::HWND editor_ = nullptr;
};

}  // namespace kq5::testing
