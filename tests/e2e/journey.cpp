#include "journey.h"

#include <fcntl.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "../app/screen_capture_support.h"

namespace kq5::journey {
namespace {

using Clock = std::chrono::steady_clock;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs a tool on the journey's display and waits for it; its standard output in *out.
bool RunTool(const std::string& display, const std::vector<std::string>& args, std::string* out)
{
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDERR_FILENO);
        setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (out) *out = text;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Number(int value) { return std::to_string(value); }

}  // namespace

std::string DrawnExampleWith(const std::string& statements,
                             const std::vector<std::pair<std::string, std::string>>& edits)
{
    std::string text = ReadAll(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir");
    const std::size_t len = text.find("Len=");
    const std::size_t body = text.find('\n', len) + 1;
    const std::size_t end = text.find("\r\n\r\n[Printer]", body);
    if (len == std::string::npos || end == std::string::npos) return {};
    text = text.substr(0, len) + "Len=" + std::to_string(statements.size()) + "\r\n" + statements + text.substr(end);
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        if (at == std::string::npos) return {};
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string MonteCarloExample(const std::string& runs)
{
    return DrawnExampleWith("* R1 within 10 %\r\n.MODEL RM RES (R=1 DEV=10%)",
                            {{"ONV=0,0,MODEL,\r\n", "ONV=0,0,MODEL,RM\r\n"},
                             {"Analysis=Transient\r\nStatus=Off\r\nDistribution=Normal\r\nNumber of Runs\r\n",
                              "Analysis=Transient\r\nStatus=On\r\nDistribution=Normal\r\nNumber of Runs=" + runs + "\r\n"}});
}

Shot PrintedPage(const std::filesystem::path& pdf, int width, int height)
{
    const std::string prefix = pdf.string() + ".page";
    const char* display = std::getenv("DISPLAY");
    Shot page;
    if (!RunTool(display ? display : "", {"pdftoppm", "-f", "1", "-l", "1", "-singlefile", "-aa", "no", "-aaVector", "no",
                                           "-scale-to-x", Number(width), "-scale-to-y", Number(height), pdf.string(), prefix},
                 nullptr))
        return page;
    std::ifstream ppm(prefix + ".ppm", std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxValue = 0;
    ppm >> magic >> w >> h >> maxValue;
    ppm.get();
    if (magic != "P6" || w != width || h != height || maxValue != 255) return page;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    ppm.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    if (!ppm) return page;
    page.width = w;
    page.height = h;
    page.pixels.resize(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < page.pixels.size(); ++i)
        page.pixels[i] = (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    return page;
}

std::uint32_t Shot::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixels[static_cast<std::size_t>(y) * width + x];
}

int Shot::Count(int x0, int y0, int x1, int y1, std::uint32_t rgb) const
{
    int count = 0;
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width, x1); ++x) count += At(x, y) == rgb ? 1 : 0;
    return count;
}

bool Shot::SameAs(const Shot& other, int x0, int y0, int x1, int y1) const
{
    if (other.width != width || other.height != height) return false;
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
            if (At(x, y) != other.At(x, y)) return false;
    return true;
}

bool Shot::Save(const std::string& name) const
{
    if (width <= 0 || height <= 0) return false;
    std::vector<std::uint32_t> copy = pixels;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(copy.data()), CAIRO_FORMAT_RGB24, width, height, width * 4);
    const std::string path = (kq5::testing::ScreensDirectory() / ("journey_" + name + ".png")).string();
    const bool saved = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return saved;
}

Journey::Journey(const std::string& name) : name_(name)
{
    std::error_code error;
    build_ = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    root_ = build_ / "journeys" / name;
    std::filesystem::remove_all(root_, error);
    std::filesystem::create_directories(root_, error);
    std::filesystem::remove(build_ / "journeys" / (name + ".out"), error);
    if (server_.Start()) display_ = server_.Display();
}

Journey::~Journey()
{
    if (pid_ > 0 && exitStatus_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Journey::Start(const std::vector<std::string>& args)
{
    if (StartOnce(args)) return true;
    // Seen once in many runs on a loaded machine: the program runs its message loop but its
    // window never shows on the journey's display. A second start tells that apart from a
    // program that cannot start.
    if (!Running()) return false;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return StartOnce(args);
}

bool Journey::StartOnce(const std::vector<std::string>& args)
{
    if (display_.empty()) return false;
    // A second start is a new process: nothing of the first one's end or window carries over.
    exitStatus_ = -1;
    window_.clear();
    const std::string program = (build_ / "kq5").string();
    const std::string output = (build_ / "journeys" / (name_ + ".out")).string();
    pid_ = fork();
    if (pid_ == 0) {
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        if (chdir(root_.c_str()) != 0) _exit(126);
        setenv("DISPLAY", display_.c_str(), 1);
        std::vector<std::string> words{program, "/ROOT:" + root_.string()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (pid_ < 0) return false;
    if (!FindWindow(60)) return false;
    // Without a window manager nobody gives the window the keyboard; a user's click would.
    Xdotool({"windowfocus", window_});
    Settle(10);
    return true;
}

bool Journey::FindWindow(double seconds)
{
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        if (!Running()) return false;
        std::string out;
        if (Xdotool({"search", "--onlyvisible", "--pid", Number(pid_)}, &out)) {
            std::istringstream lines(out);
            std::string id;
            if (lines >> id) {
                window_ = id;
                return true;
            }
        }
        Pause(200);
    }
    return false;
}

bool Journey::Xdotool(const std::vector<std::string>& args, std::string* out)
{
    std::vector<std::string> words{"xdotool"};
    words.insert(words.end(), args.begin(), args.end());
    return RunTool(display_, words, out);
}

void Journey::Move(int x, int y)
{
    Xdotool({"mousemove", "--window", window_, Number(x), Number(y)});
    Pause(30);
}

void Journey::Click(int x, int y, int button)
{
    Move(x, y);
    Xdotool({"click", Number(button)});
    Pause(60);
}

void Journey::ShiftClick(int x, int y)
{
    Move(x, y);
    Xdotool({"keydown", "shift", "click", "1", "keyup", "shift"});
    Pause(60);
}

void Journey::DoubleClick(int x, int y)
{
    Move(x, y);
    Xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
    Pause(60);
}

void Journey::Drag(int x0, int y0, int x1, int y1, int button)
{
    Move(x0, y0);
    Xdotool({"mousedown", Number(button)});
    Pause(60);
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) Move(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    Xdotool({"mouseup", Number(button)});
    Pause(60);
}

void Journey::Key(const std::string& keys)
{
    std::vector<std::string> args{"key", "--delay", "60"};
    std::istringstream words(keys);
    std::string word;
    while (words >> word) args.push_back(word);
    Xdotool(args);
    Pause(60);
}

void Journey::Type(const std::string& text)
{
    Xdotool({"type", "--delay", "40", text});
    Pause(60);
}

void Journey::Retype(int x, int y, const std::string& text)
{
    Click(x, y);
    Key("End shift+Home");
    Type(text);
}

bool Journey::MapKeysyms(const std::vector<std::string>& keysyms)
{
    // Keycode 248 has nothing on it in the X server's own map.
    std::string line = "keycode 248 =";
    for (const std::string& k : keysyms) line += " " + k;
    return RunTool(display_, {"xmodmap", "-e", line}, nullptr);
}

Shot Journey::Capture(const std::string& pngName)
{
    Shot shot;
    const std::string dump = (build_ / "journeys" / (name_ + ".xwd")).string();
    if (!window_.empty() && RunTool(display_, {"xwd", "-silent", "-id", window_, "-out", dump}, nullptr)) {
        kq5::testing::XwdImage image;
        if (kq5::testing::ReadXwd(dump, image)) {
            shot.width = image.width;
            shot.height = image.height;
            shot.pixels = std::move(image.pixels);
        }
    }
    std::error_code error;
    std::filesystem::remove(dump, error);
    if (!pngName.empty()) shot.Save(pngName);
    return shot;
}

bool Journey::Settle(double maxSeconds)
{
    const auto start = Clock::now();
    Shot last = Capture();
    while (SecondsSince(start) < maxSeconds) {
        Pause(200);
        Shot now = Capture();
        if (now.width > 0 && now.SameAs(last)) return true;
        last = std::move(now);
    }
    return false;
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Journey::OpenAndRunTransient(const std::string& name, double seconds)
{
    Key("ctrl+o");
    Settle();
    Type(name);
    Key("Return");
    Settle();
    Key("alt+1");
    Settle();
    Key("F2");
    const std::filesystem::path output = root_ / (std::filesystem::path(name).stem().string() + ".TNO");
    return WaitUntil([&] { return ReadAll(output).find("Transient Analysis of") != std::string::npos; }, seconds);
}

bool Journey::WaitUntil(const std::function<bool()>& done, double seconds)
{
    const auto start = Clock::now();
    while (!done()) {
        if (SecondsSince(start) >= seconds) return false;
        Pause(100);
    }
    return true;
}

bool Journey::Running()
{
    if (pid_ <= 0 || exitStatus_ >= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = status;
        return false;
    }
    return true;
}

bool Journey::WaitForExit(double seconds, int* status)
{
    const bool ended = WaitUntil([this] { return !Running(); }, seconds);
    if (ended && status) *status = exitStatus_;
    return ended;
}

void Journey::Signal(int sig)
{
    if (Running()) kill(pid_, sig);
}

void Journey::StopDisplay()
{
    server_.Stop(SIGKILL);
}

std::string Journey::Output() const
{
    std::ifstream in(build_ / "journeys" / (name_ + ".out"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kq5::journey
