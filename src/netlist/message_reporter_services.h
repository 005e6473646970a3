#pragma once
// Fills the message reporter's services (core/message_reporter.h) with the window records, the
// parts, text lines and scopes, the sound option, the program's message box and the place of a
// build error. Start-up calls it before anything is reported; so does every test program.
namespace kq5 {

void InstallMessageReporterServices();

}  // namespace kq5
