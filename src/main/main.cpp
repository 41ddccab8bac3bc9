#include "gui_startup.h"

int main(int argc, char **argv)
{
    return GuiStartup::run(argc, argv);
}
