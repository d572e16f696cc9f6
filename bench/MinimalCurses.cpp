// The floor for memory: the least a terminal program built on ncurses holds.
// It loads the library and a terminal description and sets up a screen on
// /dev/null, as a program does before it draws anything, then ends.

#include <curses.h>

#include <cstdio>

int main()
{
    FILE* output = std::fopen("/dev/null", "w");
    FILE* input = std::fopen("/dev/null", "r");
    if (output == nullptr || input == nullptr)
        return 1;
    SCREEN* screen = newterm("xterm", output, input);
    if (screen == nullptr)
        return 1;
    endwin();
    delscreen(screen);
    std::fclose(output);
    std::fclose(input);
    return 0;
}
