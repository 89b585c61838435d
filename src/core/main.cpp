// Entry point of the game.
#include "core/startup.h"

int main(int argc, char **argv)
{
    return game_main(argc, argv);
}
