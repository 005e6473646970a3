#include <cstdio>

int main(int argc, char** argv)
{
    std::printf("Kestrion V Version 2.1.2\n");
    return 0;
}
