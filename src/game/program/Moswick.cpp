// Program entry point of the game.
#include <cstdio>

int main() {
    std::puts("Moswick: the engine is not assembled yet.");
    return 0;
}
