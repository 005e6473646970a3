#pragma once
// Journeys: the real program, started as a user starts it, on an X server of its own, driven
// only by X input events (xdotool sends them through XTest, so they take the same path through
// SDL that a user's mouse and keyboard take). What a journey checks is what a user would see or
// get: files written, pixels on the screen, the process ending.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../platform/private_x_server.h"

namespace kq5::journey {

// One capture of the program's window.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row by row

    std::uint32_t At(int x, int y) const;
    // Pixels of exactly that colour in [x0,x1) x [y0,y1), clipped to the shot.
    int Count(int x0, int y0, int x1, int y1, std::uint32_t rgb) const;
    bool SameAs(const Shot& other, int x0, int y0, int x1, int y1) const;
    bool SameAs(const Shot& other) const { return SameAs(other, 0, 0, width, height); }
    // build/screens/journey_<name>.png
    bool Save(const std::string& name) const;
};

// The drawn example with R1 of a model within 10 % over that many Monte Carlo runs of its
// transient analysis.
std::string MonteCarloExample(const std::string& runs);

// The first page of a PDF as poppler's pdftoppm draws it, without smoothing, scaled to exactly
// width x height pixels; an empty shot when it could not be drawn.
Shot PrintedPage(const std::filesystem::path& pdf, int width, int height);

// A whole file as it stands now (empty when there is none).
std::string ReadAll(const std::filesystem::path& path);

// The drawn example examples/rc_step.cir with its text area replaced by the statements and each
// section text `from` changed to `to`: what a user sets in the dialogs, written into the file the
// user opens. Empty when a text to change is not there.
std::string DrawnExampleWith(const std::string& statements,
                             const std::vector<std::pair<std::string, std::string>>& edits);

class Journey {
public:
    // A fresh folder build/journeys/<name>/ and a private X server.
    explicit Journey(const std::string& name);
    // Ends the program (SIGKILL when it is still there) and the server.
    ~Journey();
    Journey(const Journey&) = delete;
    Journey& operator=(const Journey&) = delete;

    // The program's /ROOT: folder (its settings file kq5.dat) and its working folder.
    const std::filesystem::path& Root() const { return root_; }
    std::string Display() const { return display_; }
    pid_t Pid() const { return pid_; }

    // Starts build/kq5 /ROOT:<Root()> args... in Root(); true once its window is shown and has
    // the keyboard.
    bool Start(const std::vector<std::string>& args = {});

    // Program-screen coordinates: the window's client area, origin at its top left.
    void Move(int x, int y);
    void Click(int x, int y, int button = 1);
    void DoubleClick(int x, int y);
    // A left click with Shift held.
    void ShiftClick(int x, int y);
    void Drag(int x0, int y0, int x1, int y1, int button = 1);
    // xdotool key names, several separated by blanks: "ctrl+c", "Delete", "F3", "Return alt+f".
    void Key(const std::string& keys);
    void Type(const std::string& text);
    // A click into the field at (x, y) and its whole text replaced by the one typed.
    void Retype(int x, int y, const std::string& text);
    // Gives the display's keyboard map a key for each X keysym named ("mu", "eacute"), so that
    // typing them needs no key mapped for the moment: xdotool takes such a mapping back as soon as
    // the key is up, and a program reading the map a little later finds no letter there.
    bool MapKeysyms(const std::vector<std::string>& keysyms);

    // Waits until two captures 200 ms apart are the same (at most maxSeconds).
    bool Settle(double maxSeconds = 5);
    // Key and Click, each followed by Settle.
    void Press(const std::string& keys)
    {
        Key(keys);
        Settle();
    }
    void Tap(int x, int y)
    {
        Click(x, y);
        Settle();
    }
    // The window as it is now; with a name, written as build/screens/journey_<name>.png too.
    Shot Capture(const std::string& pngName = {});
    bool WaitUntil(const std::function<bool()>& done, double seconds);
    // File > Open (Ctrl+O) of a file of Root() by its name, Analysis > Transient Analysis (Alt+1)
    // and Run (F2); true once the run's numeric output has its table (at most seconds).
    bool OpenAndRunTransient(const std::string& name, double seconds = 30);

    bool Running();
    // True when the program ended within the time; its wait status in *status.
    bool WaitForExit(double seconds, int* status = nullptr);
    void Signal(int sig);
    // Ends the X server under the running program.
    void StopDisplay();
    // What the program has written to its standard output and error so far.
    std::string Output() const;

private:
    bool StartOnce(const std::vector<std::string>& args);
    bool FindWindow(double seconds);
    bool Xdotool(const std::vector<std::string>& args, std::string* out = nullptr);

    std::string name_;
    std::filesystem::path root_;
    std::filesystem::path build_;
    test::PrivateXServer server_;
    std::string display_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    std::string window_;  // X window id of the program's window, as xdotool prints it
};

}  // namespace kq5::journey
