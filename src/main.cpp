// The program's entry: start-up, the frame and its message loop, or a batch run of the command
// line that ends the program.
#include <string>
#include <vector>

#include "app/startup.h"

int main(int argc, char** argv)
{
    return kq5::WinMain(std::vector<std::string>(argv, argv + argc));
}
